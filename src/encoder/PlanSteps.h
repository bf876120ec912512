#pragma once

// The steps MakePlan takes, one decision each, so that each can be checked
// on its own. Every step that changes what was asked adds a note.

#include "encoder/CommandLine.h"
#include "encoder/Plan.h"
#include "encoder/Probe.h"

#include <string>
#include <vector>

namespace avcore {

// A plan while it is made. The option groups are joined at the end: the
// target first, then video, audio and the rest.
struct TPlanDraft {
    TPlan plan;
    std::string target; // "-target" in lower case, "" when none
    std::vector<std::string> videoArgs;
    std::vector<std::string> audioArgs;
    std::vector<std::string> tailArgs;
};

// The container, from "-target", "-f" or the output's extension.
bool PlanContainer(const TRequest& req, TPlanDraft& draft, std::string& error);

// Start and duration. A start beyond the source's known end is refused.
bool PlanTimeRange(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error);

// Which of the source's streams are written; false when none would be.
bool PlanStreams(const TRequest& req, const TSourceFacts& source, TPlan& plan, std::string& error);

// The video written, as far as it is known while its options are decided.
struct TVideoShape {
    std::string encoder; // the ffmpeg encoder asked for, "" = the container's default
    std::string checked; // the encoder whose limits apply (the default one when none is asked)
    int width = 0;       // the size written, 0 when unknown
    int height = 0;
    double fps = 0;      // the rate written, 0 when unknown
};

// Every video option; "-vn" when no video is written.
bool PlanVideo(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft, std::string& error);

// The video encoder's name and its options; Microsoft MPEG-4 becomes MPEG-4
// Part 2 in the ISO containers.
std::string ChooseVideoEncoder(const TRequest& req, TPlanDraft& draft);
// The frame size asked for or the source's, made legal for the encoder.
bool PlanFrameSize(const TRequest& req, const TStreamFacts* srcVideo, TPlanDraft& draft, TVideoShape& shape,
                   std::string& error);
// The video bitrate, or constant quality with "-sameq".
bool PlanVideoBitrate(const TRequest& req, const std::string& encoder, TPlanDraft& draft, std::string& error);
// Constant quality ("-crf", replacing the bitrate) and the speed preset
// ("-speed"); H.265, AV1 and VP9 get "balanced" when none is asked for.
bool PlanVideoQuality(const TRequest& req, const std::string& encoder, TPlanDraft& draft, std::string& error);
// The encoder whose limits the frame rate and aspect must meet.
std::string CheckedVideoEncoder(const std::string& encoder, const TPlanDraft& draft);
// The frame rate asked for or the source's; MPEG-1 takes the nearest of its rates.
bool PlanFrameRate(const TRequest& req, const TStreamFacts* srcVideo, TPlanDraft& draft, TVideoShape& shape,
                   std::string& error);
// The display aspect; MPEG-1 and MPEG-2 show the nearest shape they store.
bool PlanAspect(const TRequest& req, const TVideoShape& shape, TPlanDraft& draft, std::string& error);
// H.264 in the PSP container: level 3.0's picture size and bitrate.
void FitPspVideo(TVideoShape& shape, TPlanDraft& draft);
// RealVideo: every frame below the RealMedia muxer's 64 kB.
void CapRealVideoFrames(const TVideoShape& shape, TPlanDraft& draft);

// ---- Copying streams that already fit ----

// One stream of the source and what the request asks of it. Zero or empty
// means "as the source" (size, rate, channels) or "none" (bitrate).
struct TCopyQuestion {
    std::string muxer;         // the container written
    bool video = false;        // a video stream, else audio
    std::string codec;         // the source stream's codec as ffprobe names it
    int width = 0, height = 0; // the source's size
    double fps = 0;            // the source's frame rate
    int sampleRate = 0;        // the source's sample rate
    int channels = 0;          // the source's channels
    long long bitRate = 0;     // the stream's bitrate (bit/s), else the file's; 0 unknown
    int askedWidth = 0, askedHeight = 0;
    double askedFps = 0;
    bool askedAspect = false;  // any -aspect: the shape may change
    int askedSampleRate = 0;
    int askedChannels = 0;
    long long targetBitRate = 0; // bit/s
    bool quality = false;        // -sameq, -crf or -aq: a quality, no size, is asked for
    bool normalizeLoudness = false; // loudness normalisation: audio is always encoded
};

// Whether the stream goes into the output as it is: the container's format
// offers its codec; size, frame rate, sample rate and channels are the
// source's or equal to it; no aspect is asked for; and the source's bitrate
// is no higher than the target, or no bitrate (a quality) is asked for. An
// unknown source bitrate against a target bitrate encodes. Why copying is
// refused goes into *why when given.
bool StreamCopyFits(const TCopyQuestion& q, std::string* why = nullptr);

// The audio values asked for; 0 leaves the source's or the encoder's own.
struct TAudioValues {
    int channels = 0;
    long long bitrate = 0; // bit/s
    int rate = 0;          // Hz
};

// Every audio option; "-an" when no audio is written, silence for the PSP.
bool PlanAudio(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft, std::string& error);

// The audio encoder's name; AMR sets the plan's AMR fields (and drops video
// from a bare ".amr" stream).
std::string ChooseAudioEncoder(const TRequest& req, TPlanDraft& draft);
// Reads "-ac", "-ab" and "-ar"; false with a message for an unreadable value.
bool ReadAudioValues(const TRequest& req, TAudioValues& values, std::string& error);
// AMR: mono at the AMR rate, the nearest mode to the bitrate.
void PlanAmrAudio(const TAudioValues& values, TPlanDraft& draft);
// Fits the rate, channels and bitrate to what the encoder (ffmpeg's name,
// the container's default already put in) and the container hold.
void FitAudio(const std::string& encoder, const std::string& muxer, const TStreamFacts* srcAudio, TAudioValues& values,
              std::vector<std::string>& notes);

// FLAC/ALAC sample format (the source's depth up to 24 bits), "-compression_level"
// and "-aq" (VBR quality where no bitrate is given).
bool PlanAudioQuality(const TRequest& req, const std::string& encoder, const TStreamFacts* srcAudio,
                      TAudioValues& values, TPlanDraft& draft, std::string& error);
// Codecs the container refuses (WebM: only VP8/VP9/AV1 and Opus/Vorbis).
bool PlanContainerCodecs(TPlanDraft& draft, std::string& error);

// "-strict" as asked; false for a level ffmpeg does not know.
bool PlanStrictness(const TRequest& req, TPlanDraft& draft, std::string& error);

// Tags and cover art. The source's tags go into the output, from the audio
// stream when the container has none of its own (Vorbis comments in Ogg and
// Opus); MP3 gets ID3v2.3 and ID3v1, ADTS AAC an ID3v2 header, MOV its
// metadata keys. A JPEG or PNG cover goes into MP3 and MP4 outputs without
// moving video, as an attached picture, never as a video stream.
void PlanTags(const TRequest& req, const TSourceFacts& source, TPlanDraft& draft);

// Joins the option groups into the plan's outputArgs and keeps every note on
// a line of its own.
void FinishPlan(TPlanDraft& draft);

} // namespace avcore
