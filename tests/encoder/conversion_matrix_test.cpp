// Converts small generated sources with option lines of every format and
// codec choice and checks each output with ffprobe.

#include "EncoderRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace enctest;

namespace {

struct TRow {
    const char* name;
    TSourceKind source;
    const char* line;      // the option line as the builders write it
    const char* ext;       // output extension
    const char* container; // part of ffprobe's format_name
    const char* brand;     // major brand of ISO files, "" = not checked
    const char* video;     // video codec, "" = no video stream
    const char* audio;     // audio codec, "" = no audio stream
    int width = 0;         // 0 = not checked
    int height = 0;
    int channels = 0;      // 0 = not checked
    int sampleRate = 0;    // 0 = not checked
    double duration = 2.0; // expected output length in seconds
    const char* videoTag = "";  // the video stream's codec tag, "" = not checked
    const char* sampleFormat = ""; // the audio stream's sample format, "" = not checked
};

constexpr auto AV = TSourceKind::AudioVideo;
constexpr auto AO = TSourceKind::AudioOnly;
constexpr auto VO = TSourceKind::VideoOnly;
constexpr auto DEEP = TSourceKind::Deep;

#define MP3A "-acodec mp3 -ac 2 -ab 128 -ar 44100 "

const TRow Rows[] = {
    // AVI: every video codec with MP3, then every audio codec.
    {"avi_divx", AV, "-y -f avi -vcodec msmpeg4 -s 320x240 -b 800k -r 25 " MP3A, ".avi", "avi", "", "msmpeg4v3", "mp3", 320, 240, 2},
    {"avi_xvid", AV, "-y -f avi -vcodec xvid -s 640x480 -b 1200k -r 29.97 -aspect 4:3 " MP3A, ".avi", "avi", "", "mpeg4", "mp3", 640, 480, 2},
    {"avi_msmpeg4", AV, "-y -f avi -vcodec msmpeg4 -b 800k -r 25 -aspect 16:9 " MP3A, ".avi", "avi", "", "msmpeg4v3", "mp3", 176, 144, 2},
    {"avi_msmpeg4v2", AV, "-y -f avi -vcodec msmpeg4v2 -s 320x240 -b 800k -r 15 " MP3A, ".avi", "avi", "", "msmpeg4v2", "mp3", 320, 240, 2},
    {"avi_h263", AV, "-y -f avi -vcodec h263 -s 176x144 -b 300k -r 25 -aspect 4:3 " MP3A, ".avi", "avi", "", "h263", "mp3", 176, 144, 2},
    {"avi_h263_illegal_size", AV, "-y -f avi -vcodec h263 -s 320x240 -b 300k -r 25 " MP3A, ".avi", "avi", "", "h263", "mp3", 352, 288, 2},
    {"avi_h263p", AV, "-y -f avi -vcodec h263p -s 320x240 -b 400k -r 25 " MP3A, ".avi", "avi", "", "h263", "mp3", 320, 240, 2},
    {"avi_h264", AV, "-y -f avi -vcodec h264 -s 320x240 -b 600k -r 25 " MP3A, ".avi", "avi", "", "h264", "mp3", 320, 240, 2},
    {"avi_h264_crf_faster", AV, "-y -f avi -vcodec h264 -s 320x240 -b 600k -r 25 -crf 28 -speed faster " MP3A, ".avi", "avi", "", "h264", "mp3", 320, 240, 2},
    {"avi_huffyuv", AV, "-y -f avi -vcodec ffvhuff -strict -2 -s 176x144 -b 1200k -r 25 " MP3A, ".avi", "avi", "", "ffvhuff", "mp3", 176, 144, 2},
    {"avi_huffyuv_source_size", AV, "-y -f avi -vcodec ffvhuff -strict -2 -b 1200k -r 25 " MP3A, ".avi", "avi", "", "ffvhuff", "mp3", 176, 144, 2},
    {"avi_mjpeg", AV, "-y -f avi -vcodec mjpeg -s 320x240 -b 2000k -r 25 " MP3A, ".avi", "avi", "", "mjpeg", "mp3", 320, 240, 2},
    {"avi_svq1", AV, "-y -f avi -vcodec svq1 -s 320x240 -b 800k -r 25 " MP3A, ".avi", "avi", "", "svq1", "mp3", 320, 240, 2},
    {"avi_flv", AV, "-y -f avi -vcodec flv -s 320x240 -b 800k -r 25 " MP3A, ".avi", "avi", "", "flv1", "mp3", 320, 240, 2},
    {"avi_mp2", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec mp2 -ac 2 -ab 192 -ar 48000 ", ".avi", "avi", "", "mpeg4", "mp2", 0, 0, 2, 48000},
    {"avi_pcm16", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec pcm_s16le -ac 1 -ar 22050 ", ".avi", "avi", "", "mpeg4", "pcm_s16le", 0, 0, 1, 22050},
    {"avi_pcmu8", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec pcm_u8 -ac 2 -ar 11025 ", ".avi", "avi", "", "mpeg4", "pcm_u8", 0, 0, 2, 11025},
    {"avi_ac3_stereo", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 192 ", ".avi", "avi", "", "mpeg4", "ac3", 0, 0, 2, 48000},
    {"avi_ac3_51_corrected", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec ac3 -ab 256 -ac 5:1 -ar 48000 ", ".avi", "avi", "", "mpeg4", "ac3", 0, 0, 6, 48000},
    {"avi_ac3_low_rate", AV, "-y -f avi -vcodec xvid -b 800k -r 25 -acodec ac3 -ac 2 -ar 22050 -ab 128 ", ".avi", "avi", "", "mpeg4", "ac3", 0, 0, 2, 32000},
    {"avi_time_control", AV, "-y -f avi  -t 0:00:01.000 -ss 0:00:00.500 -vcodec xvid -s 320x240 -b 1200k -r 25 " MP3A, ".avi", "avi", "", "mpeg4", "mp3", 320, 240, 2, 0, 1.0},
    {"avi_same_quality", AV, "-y -f avi -sameq -vcodec xvid -s 320x240 -b 1200k -r 25 " MP3A, ".avi", "avi", "", "mpeg4", "mp3", 320, 240, 2},
    {"avi_no_audio", AV, "-y -f avi -vcodec msmpeg4 -s 320x240 -b 800k -r 25 -an ", ".avi", "avi", "", "msmpeg4v3", ""},
    {"avi_from_video_only", VO, "-y -f avi -vcodec xvid -b 800k -r 25 " MP3A, ".avi", "avi", "", "mpeg4", ""},
    {"avi_from_audio_only", AO, "-y -f avi -vcodec xvid -b 800k -r 25 " MP3A, ".avi", "avi", "", "", "mp3", 0, 0, 2},
    // MP4: the four targets.
    {"mp4_ipod", AV, "-y -f mp4 -vcodec h264 -s 320x240 -b 600k -r 25 -aspect 4:3 -acodec aac -ac 2 -ab 128 -ar 44100 ", ".mp4", "mp4", "isom", "h264", "aac", 320, 240, 2, 44100},
    {"mp4_psp", AV, "-y -f psp -vcodec h264 -s 320x240 -b 600k -r 29.97 -acodec aac -ac 2 -ab 128 -ar 48000 ", ".mp4", "mp4", "MSNV", "h264", "aac", 320, 240, 2, 48000},
    {"mp4_mobile", AV, "-y -f mp4 -vcodec h264 -s 176x144 -b 200k -r 15 -acodec aac -ac 1 -ab 64 -ar 22050 ", ".mp4", "mp4", "isom", "h264", "aac", 176, 144, 1, 22050},
    {"mp4_same_quality", AV, "-y -f mp4 -sameq -vcodec h264 -b 600k -r 25 -acodec aac -ac 2 -ar 44100 ", ".mp4", "mp4", "isom", "h264", "aac", 176, 144, 2},
    {"mp4_psp_video_only_gets_silence", VO, "-y -f psp -vcodec h264 -s 320x240 -b 600k -r 29.97 -acodec aac -ac 2 -ab 128 -ar 48000 ", ".mp4", "mp4", "MSNV", "h264", "aac", 320, 240, 2, 48000},
    {"mp4_time_control", AV, "-y -f mp4  -t 0:00:01.200 -ss 0:00:00.300 -vcodec h264 -b 600k -r 25 -acodec aac -ac 2 -ar 44100 ", ".mp4", "mp4", "isom", "h264", "aac", 0, 0, 2, 0, 1.2},
    // 3GP: Nokia codecs, Sony codecs, 3GP2.
    {"3gp_nokia_h263_amrnb", AV, "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -aspect 11:9 -acodec amr_nb -ac 1 -ar 8000 -ab 12 ", ".3gp", "3gp", "3gp4", "h263", "amr_nb", 176, 144, 1, 8000},
    {"3gp_nokia_mpeg4_amrwb", AV, "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 200k -r 15 -aspect 11:9 -acodec amr_wb -ac 1 -ar 16000 -ab 23 ", ".3gp", "3gp", "3gp4", "mpeg4", "amr_wb", 176, 144, 1, 16000},
    {"3gp_nokia_h263_aac", AV, "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -aspect 11:9 -acodec aac -ac 1 -ab 32 -ar 22050 ", ".3gp", "3gp", "3gp4", "h263", "aac", 176, 144, 1, 22050},
    {"3gp_nokia_amr_auto_bitrate", AV, "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -aspect 11:9 -acodec amr_nb -ac 1 -ar 8000 ", ".3gp", "3gp", "3gp4", "h263", "amr_nb", 176, 144, 1, 8000},
    {"3gp_sony_mpeg4_aac", AV, "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 200k -r 15 -aspect 11:9 -acodec aac -ac 2 -ab 64 -ar 44100 ", ".3gp", "3gp", "3gp4", "mpeg4", "aac", 176, 144, 2, 44100},
    {"3gp_sony_xvid_aac", AV, "-y -f 3gp -vcodec xvid -s 176x144 -b 200k -r 15 -aspect 4:3 -acodec aac -ac 2 -ab 64 -ar 44100 ", ".3gp", "3gp", "3gp4", "mpeg4", "aac", 176, 144, 2},
    {"3gp2_sony", AV, "-y -f 3gp -vcodec msmpeg4 -s 176x144 -b 200k -r 15 -aspect 16:9 -acodec aac -ac 2 -ab 64 -ar 44100 ", ".3g2", "3g2", "3g2a", "mpeg4", "aac", 176, 144, 2},
    {"3gp_amr_from_audio_only", AO, "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -aspect 11:9 -acodec amr_nb -ac 1 -ar 8000 -ab 10 ", ".3gp", "3gp", "3gp4", "", "amr_nb", 0, 0, 1, 8000},
    {"3gp_no_audio", AV, "-y -f 3gp -vcodec h263 -s 176x144 -b 128k -r 15 -aspect 11:9 -an ", ".3gp", "3gp", "3gp4", "h263", ""},
    // MPEG: custom MPEG-1 and MPEG-2, then the presets for Auto, NTSC and PAL.
    {"mpeg1_mp2", AV, "-y -vcodec mpeg1video -s 352x288 -b 1150k -r 25 -acodec mp2 -ac 2 -ab 224 -ar 44100 ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 288, 2},
    {"mpeg1_19_98_fps", AV, "-y -vcodec mpeg1video -s 352x288 -b 1150k -r 19.98 -acodec mp2 -ac 2 -ab 224 -ar 44100 ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 288, 2},
    {"mpeg1_mp3_low_rate", AV, "-y -vcodec mpeg1video -s 352x288 -b 1150k -r 15 -acodec mp3 -ac 2 -ab 128 -ar 44100 ", ".mpg", "mpeg", "", "mpeg1video", "mp3", 352, 288, 2},
    {"mpeg2_ac3", AV, "-y -vcodec mpeg2video -s 720x576 -b 4000k -r 25 -aspect 16:9 -acodec ac3 -ac 2 -ar 48000 -ab 192 ", ".mpg", "mpeg", "", "mpeg2video", "ac3", 720, 576, 2},
    {"mpeg2_mp2", AV, "-y -vcodec mpeg2video -s 720x576 -b 4000k -r 25 -acodec mp2 -ac 2 -ab 100 -ar 22050 ", ".mpg", "mpeg", "", "mpeg2video", "mp2", 720, 576, 2, 22050},
    {"mpeg2_mp3", AV, "-y -vcodec mpeg2video -s 720x480 -b 4000k -r 29.97 -acodec mp3 -ac 2 -ab 128 -ar 48000 ", ".mpg", "mpeg", "", "mpeg2video", "mp3", 720, 480, 2},
    {"mpeg_vcd_auto", AV, "-target film-vcd ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 240, 2},
    {"mpeg_vcd_ntsc", AV, "-target ntsc-vcd ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 240, 2},
    {"mpeg_vcd_pal", AV, "-target pal-vcd ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 288, 2},
    {"mpeg_svcd_auto", AV, "-target film-svcd ", ".mpg", "mpeg", "", "mpeg2video", "mp2", 480, 480, 2},
    {"mpeg_svcd_ntsc", AV, "-target ntsc-svcd ", ".mpg", "mpeg", "", "mpeg2video", "mp2", 480, 480, 2},
    {"mpeg_svcd_pal", AV, "-target pal-svcd ", ".mpg", "mpeg", "", "mpeg2video", "mp2", 480, 576, 2},
    {"mpeg_dvd_auto", AV, "-target film-dvd -b 6000k -aspect 16:9 -ab 192 ", ".mpg", "mpeg", "", "mpeg2video", "ac3", 720, 480, 2},
    {"mpeg_dvd_ntsc", AV, "-target ntsc-dvd -b 6000k ", ".mpg", "mpeg", "", "mpeg2video", "ac3", 720, 480, 2},
    {"mpeg_dvd_pal", AV, "-target pal-dvd -b 5000k -aspect 1:1 -ab 256 ", ".mpg", "mpeg", "", "mpeg2video", "ac3", 720, 576, 2},
    {"mpeg_vcd_time_control", AV, " -t 0:00:01.000 -ss 0:00:00.500 -target pal-vcd ", ".mpg", "mpeg", "", "mpeg1video", "mp2", 352, 288, 2, 0, 1.0},
    // MOV: every video codec, every audio codec.
    {"mov_svq1_aac", AV, "-y -f mov -vcodec svq1 -s 320x240 -b 800k -r 25 -ac 2 -ab 128 -ar 44100 ", ".mov", "mov", "qt  ", "svq1", "aac", 320, 240, 2, 44100},
    {"mov_divx_alaw", AV, "-y -f mov -vcodec msmpeg4 -s 320x240 -b 800k -r 25 -acodec pcm_alaw -ac 1 -ar 8000 ", ".mov", "mov", "qt  ", "mpeg4", "pcm_alaw", 320, 240, 1, 8000},
    {"mov_xvid_amrnb", AV, "-y -f mov -vcodec xvid -s 320x240 -b 800k -r 25 -acodec amr_nb -ac 1 -ar 8000 -ab 12 ", ".mov", "mov", "qt  ", "mpeg4", "amr_nb", 320, 240, 1, 8000},
    {"mov_h263_pcm16le", AV, "-y -f mov -vcodec h263 -s 176x144 -b 300k -r 25 -acodec pcm_s16le -ac 2 -ar 44100 ", ".mov", "mov", "qt  ", "h263", "pcm_s16le", 176, 144, 2},
    {"mov_h264_crf_smaller", AV, "-y -f mov -vcodec h264 -b 1200k -r 25 -crf 20 -speed smaller -ac 2 -ab 64 -ar 22050 ", ".mov", "mov", "qt  ", "h264", "aac", 176, 144, 2, 22050},
    {"mov_h264_pcm16be", AV, "-y -f mov -vcodec h264 -s 320x240 -b 600k -r 25 -acodec pcm_s16be -ac 2 -ar 48000 ", ".mov", "mov", "qt  ", "h264", "pcm_s16be", 320, 240, 2, 48000},
    // WMV (no container option: the extension decides), RM, SWF, VOB, ASF.
    {"wmv_msmpeg4", AV, "-y -vcodec msmpeg4 -s 320x240 -b 800k -r 25 " MP3A, ".wmv", "asf", "", "msmpeg4v3", "mp3", 320, 240, 2},
    {"wmv_msmpeg4v2", AV, "-y -vcodec msmpeg4v2 -s 320x240 -b 800k -r 25 " MP3A, ".wmv", "asf", "", "msmpeg4v2", "mp3", 320, 240, 2},
    {"wmv_wmv7", AV, "-y -vcodec wmv1 -s 320x240 -b 800k -r 25 " MP3A, ".wmv", "asf", "", "wmv1", "mp3", 320, 240, 2},
    {"wmv_wmv8", AV, "-y -vcodec wmv2 -s 320x240 -b 800k -r 25 -aspect 4:3 " MP3A, ".wmv", "asf", "", "wmv2", "mp3", 320, 240, 2},
    {"rm_rv10_ac3", AV, "-y -f rm -vcodec rv10 -b 500k -s 320x240 -r 25 -acodec ac3 -ac 2 -ar 44100 -ab 128 ", ".rm", "rm", "", "rv10", "ac3", 320, 240, 2},
    {"rm_default_profile", AV, "-y -f rm -vcodec rv10 -b 768k -r 25 -acodec ac3 -ac 2 -ar 48000 -ab 256 ", ".rm", "rm", "", "rv10", "ac3", 176, 144, 2, 48000},
    {"rm_rv10_odd_size", AV, "-y -f rm -vcodec rv10 -b 500k -s 330x250 -r 25 -acodec ac3 -ac 1 -ar 48000 -ab 96 ", ".rm", "rm", "", "rv10", "ac3", 336, 256, 1},
    {"swf_flv_mp3", AV, "-y -vcodec flv -s 320x240 -b 400k -r 25 -acodec mp3 -ac 2 -ab 64 -ar 22050 ", ".swf", "swf", "", "flv1", "mp3", 320, 240, 2},
    {"swf_flv_mp3_rate_from_source", AV, "-y -vcodec flv -s 320x240 -b 400k -r 25 -acodec mp3 -ac 1 -ab 64 ", ".swf", "swf", "", "flv1", "mp3", 320, 240, 1},
    {"vob_mpeg2_ac3", AV, "-y -f vob -vcodec mpeg2video -b 6000k -r 25 -aspect 5:4 -acodec ac3 -ac 2 -ar 48000 -ab 384 ", ".vob", "mpeg", "", "mpeg2video", "ac3", 176, 144, 2},
    {"vob_mpeg2_mp2", AV, "-y -f vob -vcodec mpeg2video -s 720x576 -b 6000k -r 19.98 -aspect 4:3 -acodec mp2 -ac 2 -ab 192 -ar 48000 ", ".vob", "mpeg", "", "mpeg2video", "mp2", 720, 576, 2},
    {"asf_msmpeg4", AV, "-y -f asf -vcodec msmpeg4 -s 320x240 -b 800k -r 25 " MP3A, ".asf", "asf", "", "msmpeg4v3", "mp3", 320, 240, 2},
    {"asf_msmpeg4v2", AV, "-y -f asf -vcodec msmpeg4v2 -s 320x240 -b 800k -r 25 -an ", ".asf", "asf", "", "msmpeg4v2", ""},
    // Audio formats.
    {"aac", AV, "-y -f aac -vn -acodec aac -ac 1 -ar 48000 ", ".aac", "aac", "", "", "aac", 0, 0, 1, 48000},
    {"aac_from_audio_only", AO, "-y -f aac -vn -acodec aac -ac 2 -ab 128 -ar 44100 ", ".aac", "aac", "", "", "aac", 0, 0, 2, 44100},
    {"ac3_stereo", AV, "-y -f ac3 -vn -acodec ac3 -ac 2 -ar 44100 -ab 192 ", ".ac3", "ac3", "", "", "ac3", 0, 0, 2, 44100},
    {"ac3_51", AV, "-y -f ac3 -vn -acodec ac3 -ac 5:1 -ar 48000 -ab 384 ", ".ac3", "ac3", "", "", "ac3", 0, 0, 6, 48000},
    {"ac3_51_corrected", AO, "-y -f ac3 -vn -acodec ac3 -ab 256 -ac 5:1 -ar 48000 ", ".ac3", "ac3", "", "", "ac3", 0, 0, 6, 48000},
    {"mp2", AV, "-y -f mp2 -vn -acodec mp2 -ac 2 -ab 192 -ar 48000 ", ".mp2", "mp3", "", "", "mp2", 0, 0, 2, 48000},
    {"mp2_mono_low_rate", AO, "-y -f mp2 -vn -acodec mp2 -ac 1 -ab 64 -ar 24000 ", ".mp2", "mp3", "", "", "mp2", 0, 0, 1, 24000},
    {"mp3", AV, "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 192 -ar 44100 ", ".mp3", "mp3", "", "", "mp3", 0, 0, 2, 44100},
    {"mp3_320_at_22050", AO, "-y -f mp3 -vn -acodec mp3 -ac 2 -ab 320 -ar 22050 ", ".mp3", "mp3", "", "", "mp3", 0, 0, 2, 22050},
    {"mp3_vbr_v0", AO, "-y -f mp3 -vn -acodec mp3 -ac 2 -ar 44100 -aq 9 ", ".mp3", "mp3", "", "", "mp3", 0, 0, 2, 44100},
    {"mp3_time_control", AO, "-y -f mp3  -t 0:00:00.800 -ss 0:00:01.000 -vn -acodec mp3 -ac 2 -ab 192 -ar 44100 ", ".mp3", "mp3", "", "", "mp3", 0, 0, 2, 44100, 0.8},
    {"amr_nb", AV, "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 -ab 12 ", ".amr", "amr", "", "", "amr_nb", 0, 0, 1, 8000},
    {"amr_nb_auto_bitrate", AO, "-y -f amr -vn -acodec amr_nb -ac 1 -ar 8000 ", ".amr", "amr", "", "", "amr_nb", 0, 0, 1, 8000},
    {"amr_wb", AV, "-y -f amr -vn -acodec amr_wb -ac 1 -ar 16000 -ab 23 ", ".amr", "amr", "", "", "amr_wb", 0, 0, 1, 16000},
    {"amr_wb_time_control", AO, "-y -f amr  -t 0:00:01.000 -ss 0:00:00.500 -vn -acodec amr_wb -ac 1 -ar 16000 -ab 7 ", ".amr", "amr", "", "", "amr_wb", 0, 0, 1, 16000, 1.0},
    {"wav_pcm16", AV, "-y -f wav -vn -acodec pcm_s16le -ac 2 -ar 44100 ", ".wav", "wav", "", "", "pcm_s16le", 0, 0, 2, 44100},
    {"wav_pcmu8", AO, "-y -f wav -vn -acodec pcm_u8 -ac 1 -ar 11025 ", ".wav", "wav", "", "", "pcm_u8", 0, 0, 1, 11025},
    // MP4's newer video codecs: H.265 tagged hvc1, AV1.
    {"mp4_hevc", AV, "-y -f mp4 -vcodec hevc -b 600k -acodec aac -ac 2 -ab 128 -ar 44100 ", ".mp4", "mp4", "isom", "hevc", "aac", 176, 144, 2, 44100, 2.0, "hvc1"},
    {"mp4_av1", AV, "-y -f mp4 -vcodec av1 -b 600k -acodec aac -ac 2 -ab 128 -ar 44100 ", ".mp4", "mp4", "isom", "av1", "aac", 176, 144, 2, 44100},
    // MKV: every video codec, every audio codec; the source's size, rate and channels.
    {"mkv_h264_aac", AV, "-y -f matroska -vcodec h264 -b 1500k -crf 23 -acodec aac -ab 128 ", ".mkv", "matroska", "", "h264", "aac", 176, 144, 2, 44100},
    {"mkv_hevc_opus", AV, "-y -f matroska -vcodec hevc -b 1080k -crf 24 -acodec opus -ab 128 ", ".mkv", "matroska", "", "hevc", "opus", 176, 144, 2, 48000},
    {"mkv_av1_flac", AV, "-y -f matroska -vcodec av1 -b 1080k -crf 35 -speed faster -acodec flac ", ".mkv", "matroska", "", "av1", "flac", 176, 144, 2, 44100},
    {"mkv_av1_small_size_enlarged", AV, "-y -f matroska -vcodec av1 -s 40x30 -b 300k -acodec flac -ac 1 ", ".mkv", "matroska", "", "av1", "flac", 64, 64, 1},
    {"mkv_vp9_vorbis", AV, "-y -f matroska -vcodec vp9 -b 1080k -crf 32 -speed faster -acodec vorbis -ab 128 ", ".mkv", "matroska", "", "vp9", "vorbis", 176, 144, 2, 44100},
    {"mkv_h264_ac3", AV, "-y -f matroska -vcodec h264 -s 320x240 -b 1500k -r 15 -acodec ac3 -ac 2 -ar 48000 -ab 192 ", ".mkv", "matroska", "", "h264", "ac3", 320, 240, 2, 48000},
    {"mkv_sound_only", AV, "-y -f matroska -vn -acodec aac -ab 128 ", ".mkv", "matroska", "", "", "aac", 0, 0, 2, 44100},
    {"mkv_from_audio_only", AO, "-y -f matroska -vcodec hevc -b 1080k -crf 24 -acodec opus -ab 96 ", ".mkv", "matroska", "", "", "opus", 0, 0, 2, 48000},
    {"mkv_time_control", AV, "-y -f matroska  -t 0:00:01.000 -ss 0:00:00.500 -vcodec h264 -b 1500k -crf 23 -acodec aac -ab 128 ", ".mkv", "matroska", "", "h264", "aac", 176, 144, 2, 0, 1.0},
    // WEBM: VP9 or AV1 with Opus or Vorbis.
    {"webm_vp9_opus", AV, "-y -f webm -vcodec vp9 -b 1080k -crf 32 -acodec opus -ab 128 ", ".webm", "webm", "", "vp9", "opus", 176, 144, 2, 48000},
    {"webm_av1_vorbis", AV, "-y -f webm -vcodec av1 -s 320x240 -b 1080k -crf 35 -r 15 -acodec vorbis -ac 1 -ab 96 ", ".webm", "webm", "", "av1", "vorbis", 320, 240, 1, 44100},
    // Audio-only newer formats; Opus goes to 48000 Hz, FLAC and ALAC keep 24 bits.
    {"opus_music", AV, "-y -f opus -vn -acodec opus -ab 128 ", ".opus", "ogg", "", "", "opus", 0, 0, 2, 48000},
    {"opus_speech_mono", AO, "-y -f opus -vn -acodec opus -ac 1 -ab 32 ", ".opus", "ogg", "", "", "opus", 0, 0, 1, 48000},
    {"opus_from_96000_hz", DEEP, "-y -f opus -vn -acodec opus -ab 128 ", ".opus", "ogg", "", "", "opus", 0, 0, 2, 48000},
    {"flac_level_8", AV, "-y -f flac -vn -acodec flac -compression_level 8 ", ".flac", "flac", "", "", "flac", 0, 0, 2, 44100, 2.0, "", "s16"},
    {"flac_keeps_24_bits", DEEP, "-y -f flac -vn -acodec flac -compression_level 5 ", ".flac", "flac", "", "", "flac", 0, 0, 2, 96000, 2.0, "", "s32"},
    {"flac_resampled_mono", DEEP, "-y -f flac -vn -acodec flac -ac 1 -ar 44100 -compression_level 5 ", ".flac", "flac", "", "", "flac", 0, 0, 1, 44100},
    {"m4a_aac", AV, "-y -f ipod -vn -acodec aac -ab 256 ", ".m4a", "mp4", "M4A ", "", "aac", 0, 0, 2, 44100},
    {"m4a_alac_keeps_24_bits", DEEP, "-y -f ipod -vn -acodec alac ", ".m4a", "mp4", "M4A ", "", "alac", 0, 0, 2, 96000, 2.0, "", "s32p"},
    {"m4a_alac_16_bits", AO, "-y -f ipod -vn -acodec alac ", ".m4a", "mp4", "M4A ", "", "alac", 0, 0, 2, 44100, 2.0, "", "s16p"},
    {"ogg_quality_5", AV, "-y -f ogg -vn -acodec vorbis -aq 5 ", ".ogg", "ogg", "", "", "vorbis", 0, 0, 2, 44100},
    {"ogg_bitrate_source_rate", DEEP, "-y -f ogg -vn -acodec vorbis -ac 2 -ab 160 -ar 48000 ", ".ogg", "ogg", "", "", "vorbis", 0, 0, 2, 48000},
};

#undef MP3A

// One set of sources per test process, made on first use.
qvtest::TempDir& SourceDir()
{
    static qvtest::TempDir dir;
    return dir;
}

const std::string& Source(TSourceKind kind)
{
    static std::string names[5];
    std::string& name = names[static_cast<int>(kind)];
    if (name.empty())
        name = MakeSource(SourceDir(), kind);
    return name;
}

// The codec of the first stream of a kind, "" when there is none.
std::string StreamValue(const std::map<std::string, std::string>& facts, const std::string& type, const std::string& key)
{
    for (int i = 0; i < 8; ++i) {
        std::string prefix = "streams.stream." + std::to_string(i) + ".";
        auto t = facts.find(prefix + "codec_type");
        if (t == facts.end())
            break;
        if (t->second == type) {
            auto v = facts.find(prefix + key);
            return v == facts.end() ? std::string() : v->second;
        }
    }
    return {};
}

// The container's duration; for containers that store none (SWF), the end of
// the last packet.
double OutputDuration(const std::string& file, const std::map<std::string, std::string>& facts)
{
    auto d = facts.find("format.duration");
    if (d != facts.end() && d->second != "N/A")
        return std::stod(d->second);
    TRunResult r = RunProgram({"ffprobe", "-v", "error", "-show_entries", "packet=pts_time,duration_time", "-of", "csv=p=0", file});
    double end = -1;
    size_t from = 0;
    while (from < r.output.size()) {
        size_t nl = r.output.find('\n', from);
        if (nl == std::string::npos)
            nl = r.output.size();
        std::string line = r.output.substr(from, nl - from);
        from = nl + 1;
        size_t comma = line.find(',');
        try {
            double pts = std::stod(line.substr(0, comma));
            double dur = comma == std::string::npos ? 0 : std::stod(line.substr(comma + 1));
            end = std::max(end, pts + dur);
        } catch (const std::exception&) {
        }
    }
    return end;
}

// The types of the top-level boxes of an ISO media file, in file order.
std::vector<std::string> TopLevelBoxes(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> boxes;
    uint64_t offset = 0;
    const uint64_t size = std::filesystem::file_size(file);
    while (offset + 8 <= size && boxes.size() < 64) {
        unsigned char head[16] = {};
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(head), 16);
        uint64_t length = (uint64_t{head[0]} << 24) | (uint64_t{head[1]} << 16) | (uint64_t{head[2]} << 8) | head[3];
        boxes.emplace_back(reinterpret_cast<char*>(head) + 4, 4);
        if (length == 1) {
            length = 0;
            for (int i = 8; i < 16; ++i)
                length = (length << 8) | head[i];
        } else if (length == 0) {
            break; // to the end of the file
        }
        if (length < 8)
            break;
        offset += length;
    }
    return boxes;
}

class ConversionMatrix : public ::testing::TestWithParam<TRow> {};

TEST_P(ConversionMatrix, OutputHasTheRequestedStreams)
{
    const TRow& row = GetParam();
    qvtest::TempDir out;
    const std::string output = out.file(std::string("out") + row.ext);
    TRunResult r = RunProgram(EncoderArgs(Source(row.source), row.line, output), 180);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("\nError"), std::string::npos) << r.output;

    auto facts = ProbeFlat(output);
    ASSERT_FALSE(facts.empty()) << "ffprobe cannot read " << output;
    EXPECT_NE(facts["format.format_name"].find(row.container), std::string::npos) << facts["format.format_name"];
    if (*row.brand) {
        EXPECT_EQ(facts["format.tags.major_brand"], row.brand);
    }
    EXPECT_EQ(StreamValue(facts, "video", "codec_name"), row.video);
    EXPECT_EQ(StreamValue(facts, "audio", "codec_name"), row.audio);
    if (row.width) {
        EXPECT_EQ(StreamValue(facts, "video", "width"), std::to_string(row.width));
        EXPECT_EQ(StreamValue(facts, "video", "height"), std::to_string(row.height));
    }
    if (row.channels) {
        EXPECT_EQ(StreamValue(facts, "audio", "channels"), std::to_string(row.channels));
    }
    if (row.sampleRate) {
        EXPECT_EQ(StreamValue(facts, "audio", "sample_rate"), std::to_string(row.sampleRate));
    }
    if (*row.videoTag) {
        EXPECT_EQ(StreamValue(facts, "video", "codec_tag_string"), row.videoTag);
    }
    if (*row.sampleFormat) {
        EXPECT_EQ(StreamValue(facts, "audio", "sample_fmt"), row.sampleFormat);
    }
    double duration = OutputDuration(output, facts);
    EXPECT_NEAR(duration, row.duration, 0.5) << r.output;

    // Device and streaming rules: the PSP plays H.264 Main up to level 3.0;
    // ISO files carry their index (moov) before the media data (mdat).
    const std::string line = std::string(" ") + row.line;
    if (line.find(" -f psp ") != std::string::npos) {
        EXPECT_EQ(StreamValue(facts, "video", "profile"), "Main");
        const std::string level = StreamValue(facts, "video", "level");
        ASSERT_FALSE(level.empty());
        EXPECT_LE(std::stoi(level), 30);
    }
    const std::string ext = row.ext;
    if (ext == ".mp4" || ext == ".mov" || ext == ".3gp" || ext == ".3g2" || ext == ".m4a") {
        const std::vector<std::string> boxes = TopLevelBoxes(output);
        const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
        const auto mdat = std::find(boxes.begin(), boxes.end(), "mdat");
        std::string order;
        for (const std::string& b : boxes)
            order += b + " ";
        ASSERT_NE(moov, boxes.end()) << order;
        ASSERT_NE(mdat, boxes.end()) << order;
        EXPECT_LT(moov - boxes.begin(), mdat - boxes.begin()) << order;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ConversionMatrix, ::testing::ValuesIn(Rows),
                         [](const ::testing::TestParamInfo<TRow>& info) { return std::string(info.param.name); });

// ---- Real media that no one here made ----

// Debian's opencv-doc sample videos: the folder QV_REAL_MEDIA names, else
// where the package installs them. ("apt-get download opencv-doc" and
// "dpkg-deb -x" into a folder of your own give them without installing.)
std::string RealMediaFile(const std::string& name)
{
    const char* dir = std::getenv("QV_REAL_MEDIA");
    const std::string folder = dir && *dir ? dir : "/usr/share/doc/opencv-doc/examples/data";
    const std::string file = folder + "/" + name;
    return std::filesystem::is_regular_file(file) ? file : std::string();
}

// Megamind.avi: MPEG-4 Part 2 at 720x528, 23.976 fps, with AC3 audio. Two
// seconds of it into the newer formats, then an H.264/AAC copy of it from MKV
// into MP4 with the streams copied.
TEST(ConversionMatrixRealMedia, MegamindIntoTheNewerFormats)
{
    const std::string source = RealMediaFile("Megamind.avi");
    if (source.empty())
        GTEST_SKIP() << "opencv-doc's Megamind.avi is not there (set QV_REAL_MEDIA to its folder)";
    struct {
        const char* line;
        const char* ext;
        const char* video;
        const char* audio;
        int width, height, channels, sampleRate;
    } rows[] = {
        {"-y -f matroska -t 2 -vcodec hevc -b 1080k -crf 24 -acodec opus -ab 128 ", ".mkv", "hevc", "opus", 720, 528, 2, 48000},
        {"-y -f webm -t 2 -vcodec vp9 -s 360x264 -b 1080k -crf 32 -acodec vorbis -ab 128 ", ".webm", "vp9", "vorbis", 360, 264, 2, 48000},
        {"-y -f matroska -t 2 -vcodec av1 -b 1080k -crf 35 -acodec flac ", ".mkv", "av1", "flac", 720, 528, 2, 48000},
        {"-y -f mp4 -t 2 -vcodec h264 -b 1500k -acodec aac -ab 128 ", ".mp4", "h264", "aac", 720, 528, 2, 48000},
        {"-y -f opus -t 2 -vn -acodec opus -ac 1 -ab 32 ", ".opus", "", "opus", 0, 0, 1, 48000},
        {"-y -f ipod -t 2 -vn -acodec alac ", ".m4a", "", "alac", 0, 0, 2, 48000},
    };
    qvtest::TempDir out;
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const std::string output = out.file("real" + std::to_string(++n) + row.ext);
        TRunResult r = RunProgram(EncoderArgs(source, row.line, output), 180);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto facts = ProbeFlat(output);
        EXPECT_EQ(StreamValue(facts, "video", "codec_name"), row.video);
        EXPECT_EQ(StreamValue(facts, "audio", "codec_name"), row.audio);
        if (row.width) {
            EXPECT_EQ(StreamValue(facts, "video", "width"), std::to_string(row.width));
            EXPECT_EQ(StreamValue(facts, "video", "height"), std::to_string(row.height));
        }
        EXPECT_EQ(StreamValue(facts, "audio", "channels"), std::to_string(row.channels));
        EXPECT_EQ(StreamValue(facts, "audio", "sample_rate"), std::to_string(row.sampleRate));
        EXPECT_NEAR(OutputDuration(output, facts), 2.0, 0.5);
    }
    // H.264 and AAC in MKV into MP4 with -copyfit: both streams copied, the
    // packets unchanged.
    const std::string mkv = out.file("h264.mkv");
    TRunResult made = RunProgram(EncoderArgs(source, "-y -f matroska -t 2 -vcodec h264 -b 1500k -acodec aac -ab 128 ", mkv), 180);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string mp4 = out.file("copied.mp4");
    TRunResult copied = RunProgram(EncoderArgs(mkv, "-y -f mp4 -vcodec h264 -b 2496k -acodec aac -ab 192 -copyfit ", mp4), 180);
    ASSERT_EQ(copied.exitCode, 0) << copied.output;
    EXPECT_NE(copied.output.find("Note: the video stream (h264) copied"), std::string::npos) << copied.output;
    EXPECT_NE(copied.output.find("Note: the audio stream (aac) copied"), std::string::npos) << copied.output;
    auto before = ProbeFlat(mkv);
    auto after = ProbeFlat(mp4);
    EXPECT_EQ(StreamValue(after, "video", "codec_name"), "h264");
    EXPECT_EQ(StreamValue(after, "video", "width"), StreamValue(before, "video", "width"));
    EXPECT_EQ(StreamValue(after, "audio", "codec_name"), "aac");
    EXPECT_EQ(StreamValue(after, "video", "extradata_size"), StreamValue(before, "video", "extradata_size"));
}

} // namespace
