#include "profiles/ProfileCheck.h"

#include <algorithm>
#include <set>

#include "app/VisibleText.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "platform/RegularFile.h"
#include "platform/TextRules.h"
#include "profiles/ProfileCommands.h"
#include "profiles/RecordFields.h"

namespace {

const char* const ProfileSection = "General";

// Keys that records of several formats hold alike; a file holding only these
// may well be a profile of another format.
// Keys every record has (those after each record's own, such as the
// loudness keys) count as shared too.
bool IsSharedKey(const std::string& key)
{
    static const char* const shared[] = {"Description", "EnableTimeControl", "Duration",   "StartTime",
                                         "VideoCodec",  "VideoSameQuality",  "AudioCodec", "AudioDisableAudio"};
    if (std::any_of(std::begin(shared), std::end(shared), [&](const char* k) { return key == k; }))
        return true;
    for (int format = 0; format < OutputFormatCount; ++format)
        if (!FindField(format, key))
            return false;
    return true;
}

// Why the text of a profile file is no INI text, "" when it is one. Profiles
// are UTF-8 or plain 8-bit text; a description in a legacy 8-bit encoding is
// still a readable profile, so only UTF-16 and control bytes are refused.
std::string TextProblem(const std::string& content)
{
    if (content.compare(0, 2, "\xFF\xFE") == 0 || content.compare(0, 2, "\xFE\xFF") == 0)
        return "it is UTF-16 text; profiles are read as UTF-8 text";
    const size_t nul = content.find('\0');
    if (nul != std::string::npos) {
        // ASCII letters in UTF-16 without a byte order mark alternate with NULs.
        const bool alternating = content.size() >= 4 && (content[0] == '\0') != (content[1] == '\0') &&
                                 (content[2] == '\0') != (content[3] == '\0');
        return alternating ? "it is UTF-16 text; profiles are read as UTF-8 text"
                           : "it holds binary data (a NUL byte), not the text of a profile";
    }
    for (unsigned char c : content)
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A) || c == 0x7F)
            return "it holds binary data (control bytes), not the text of a profile";
    return {};
}

// The keys of every format's record, in lower case (INI keys match without
// regard to case).
const std::set<std::string>& AllRecordKeys()
{
    static const std::set<std::string> keys = [] {
        std::set<std::string> all;
        for (int format = 0; format < OutputFormatCount; ++format)
            for (const TFieldInfo& field : RecordFields(format))
                all.insert(LowerAscii(std::string(field.Key)));
        return all;
    }();
    return keys;
}

// A key of the file that belongs to other formats' records only, "" for none.
std::string ForeignKey(int format, const TIniFile& ini)
{
    for (const std::string& key : ini.ReadSection(ProfileSection)) {
        const std::string lower = LowerAscii(key);
        if (!AllRecordKeys().count(lower))
            continue;
        const auto& own = RecordFields(format);
        if (std::none_of(own.begin(), own.end(),
                         [&](const TFieldInfo& f) { return LowerAscii(std::string(f.Key)) == lower; }))
            return key;
    }
    return {};
}

} // namespace

std::vector<TProfileProblem> ProfileFileProblems(int format, const std::string& fileName, bool requireOwnKeys)
{
    std::vector<TProfileProblem> problems;
    const TFileRead file = ReadRegularFile(fileName, IniFileSizeLimit);
    if (file.Status == TFileReadStatus::Missing)
        return problems;
    if (file.Status != TFileReadStatus::Ok) {
        problems.push_back({"", file.Problem});
        return problems;
    }
    if (std::string why = TextProblem(file.Content); !why.empty()) {
        problems.push_back({"", std::move(why)});
        return problems;
    }
    const TIniFile ini(fileName);
    if (!ini.Problem().empty()) { // replaced in between
        problems.push_back({"", ini.Problem()});
        return problems;
    }
    bool ownKey = false;
    std::string exampleKey;
    for (const TFieldInfo& field : RecordFields(format)) {
        const std::string key(field.Key);
        if (!IsSharedKey(key) && exampleKey.empty())
            exampleKey = key;
        if (!ini.ValueExists(ProfileSection, key))
            continue;
        ownKey = ownKey || !IsSharedKey(key);
        // Times are checked where they are used: only with time control on,
        // and after the blanks and quotes the line leaves out.
        if (field.Kind == TFieldKind::Time)
            continue;
        std::string error;
        if (!ParseFieldValue(format, key, ini.ReadString(ProfileSection, key, ""), error))
            problems.push_back({key, error});
    }
    // A file of only shared keys (a description) is a sparse profile of any
    // format; one that also holds another format's keys belongs to that one.
    if (requireOwnKeys && !ownKey && !exampleKey.empty()) {
        const std::string foreign = ForeignKey(format, ini);
        if (!foreign.empty())
            problems.insert(problems.begin(),
                            {"", "it holds keys of another format's profiles (such as \"" + foreign +
                                     "\") and none of this format's own keys (such as \"" + exampleKey + "\")"});
    }
    return problems;
}

std::string ProfileProblemText(const std::string& fileName, const std::vector<TProfileProblem>& problems)
{
    if (problems.empty())
        return {};
    return FormatText(IDS_MESSAGEBOX_ProfileRefused,
                      {qvtext::VisibleText(fileName), qvtext::VisibleText(problems.front().Reason)});
}
