#include "profiles/profiles.h"

#include "profiles/RecordFields.h"

// The named routines of each format are thin names for the one routine over
// the record descriptions (RecordFields.h).

void DefaultFormatSettings(int format)
{
    if (IsRecordFormat(format))
        SetCurrentRecord(DefaultRecord(format));
}

void LoadFormatSettings(int format, const std::string& fileName)
{
    if (IsRecordFormat(format))
        SetCurrentRecord(LoadRecord(format, fileName));
}

void SaveFormatSettings(int format, const std::string& fileName)
{
    if (IsRecordFormat(format))
        SaveRecord(CurrentRecord(format), fileName);
}

#define PF_ROUTINES(X, F)                                                                                      \
    void Default##X##Settings() { DefaultFormatSettings(static_cast<int>(OutputFormatKind::F)); }               \
    void Load##X##Settings(const std::string& fileName) { LoadFormatSettings(static_cast<int>(OutputFormatKind::F), fileName); } \
    void Save##X##Settings(const std::string& fileName) { SaveFormatSettings(static_cast<int>(OutputFormatKind::F), fileName); }

PF_ROUTINES(AVI, AVI)
PF_ROUTINES(MP4, MP4)
PF_ROUTINES(TGP, TGP)
PF_ROUTINES(MPEG, MPEG)
PF_ROUTINES(Mov, MOV)
PF_ROUTINES(Wmv, WMV)
PF_ROUTINES(Rm, RM)
PF_ROUTINES(Swf, SWF)
PF_ROUTINES(Asf, ASF)
PF_ROUTINES(Vob, VOB)
PF_ROUTINES(Aac, AAC)
PF_ROUTINES(Ac3, AC3)
PF_ROUTINES(Mp2, MP2)
PF_ROUTINES(Mp3, MP3)
PF_ROUTINES(Amr, AMR)
PF_ROUTINES(Wav, WAV)
