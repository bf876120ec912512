#include "cli/CliProfiles.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

#include "app/AppUtils.h"
#include "cli/Terminal.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/ProfileCheck.h"
#include "profiles/ProfileCommands.h"

namespace qvcli {

namespace {

struct TParsedSetting {
    std::string Key;
    TFieldValue Value;
};

// The "editor" of the command line: it shows nothing, accepts at once and
// collects the --set values over the record it was opened with.
class TCliEditor : public TProfileEditorSession {
public:
    explicit TCliEditor(const std::vector<TParsedSetting>& settings) : settings_(settings) {}
    bool ShowModal() override { return true; }
    void CollectSettings(TProfileRecord& record) override
    {
        for (const TParsedSetting& s : settings_)
            SetField(record, s.Key, s.Value);
    }

private:
    const std::vector<TParsedSetting>& settings_;
};

class TCliProfileUI : public TProfileCommandUI {
public:
    TCliProfileUI(const std::vector<TParsedSetting>& settings, std::string name, bool yes)
        : settings_(settings), name_(std::move(name)), yes_(yes)
    {
    }
    std::unique_ptr<TProfileEditorSession> OpenEditor(int, const TProfileRecord&) override
    {
        return std::make_unique<TCliEditor>(settings_);
    }
    std::optional<std::string> AskProfileName(const std::string&) override { return name_; }
    // The overwrite question is answered by -y; the delete question by the
    // command itself.
    TAnswer Confirm(const std::string& title, const std::string&) override
    {
        if (title == IDS_MESSAGEBOX_Overwrite)
            return yes_ ? TAnswer::Yes : TAnswer::No;
        return TAnswer::Yes;
    }
    void Inform(const std::string&, const std::string& text) override { Messages.push_back(text); }

    std::vector<std::string> Messages;

private:
    const std::vector<TParsedSetting>& settings_;
    std::string name_;
    bool yes_;
};

// Selects the listed profile of this name (the same spelling first, then any
// letter case); false when none is listed.
bool SelectProfile(int format, const std::string& name)
{
    TProfileList& list = ProfileLists[format];
    const int index = FindProfileName(list, name);
    if (index < 0)
        return false;
    list.ItemIndex = index;
    return true;
}

// The problems of the selected profile that the --set values do not mend:
// an edit that keeps a refused value would say "Saved" over a profile that
// still cannot be used.
std::vector<TProfileProblem> UnmendedProblems(int format, const std::vector<TParsedSetting>& settings)
{
    std::vector<TProfileProblem> left;
    for (TProfileProblem& p : ProfileFileProblems(format, SelectedProfilePath(format))) {
        const bool mended = !p.Key.empty() && std::any_of(settings.begin(), settings.end(), [&](const TParsedSetting& s) {
            return s.Key == p.Key;
        });
        if (!mended)
            left.push_back(std::move(p));
    }
    return left;
}

} // namespace

int RunProfileCommand(const TCliArgs& args, int format, TConsole& console, const std::string& program)
{
    auto fail = [&](const std::string& message, int code) {
        console.Err(program + ": " + message);
        return code;
    };
    const std::string formatName = FormatNames()[static_cast<size_t>(format)];
    const std::string name = TrimText(args.ProfileName);
    const std::string newName = TrimText(args.NewName);
    auto invalidName = [&](const std::string& given) {
        return fail("\"" + TerminalText(given) + "\" is not a valid profile name: it must not be blank nor hold any of "
                    "\\ / : * ? \" < > |, control characters or bytes that are not UTF-8", ExitUsage);
    };
    auto unknown = [&](const std::string& given) {
        return fail("no " + formatName + " profile named \"" + given + "\"", ExitUsage);
    };

    std::vector<TParsedSetting> settings;
    for (const TFieldSetting& s : args.Settings) {
        std::string error;
        const std::optional<TFieldValue> value = ParseFieldValue(format, s.Key, s.Value, error);
        if (!value)
            return fail("--set " + s.Key + ": " + error + " (" + formatName + ")", ExitUsage);
        settings.push_back({s.Key, *value});
    }

    const bool renaming = args.Action == TCliAction::RenameProfile;
    TCliProfileUI ui(settings, renaming ? newName : name, args.Yes);
    try {
        switch (args.Action) {
        case TCliAction::AddProfile: {
            if (!ValidProfileName(name))
                return invalidName(args.ProfileName);
            switch (AddNewProfile(format, ui)) {
            case TProfileCommandResult::Done:
                console.Out("Saved " + formatName + " profile \"" + ProfileLists[format].Text() + "\" as " +
                            SelectedProfilePath(format));
                return ExitConverted;
            case TProfileCommandResult::Declined:
                return fail(formatName + " profile \"" + name + "\" exists already (" +
                                ProfileFilePath(format, name) + "); use -y to replace it",
                            ExitUsage);
            default: break;
            }
            break;
        }
        case TCliAction::EditProfile: {
            if (!SelectProfile(format, name))
                return unknown(args.ProfileName);
            const std::vector<TProfileProblem> problems = UnmendedProblems(format, settings);
            if (!problems.empty()) {
                const std::string path = SelectedProfilePath(format);
                return fail(TerminalText(ProfileProblemText(path, problems)) +
                                (problems.front().Key.empty() ? "" : " (set " + problems.front().Key + " with --set)"),
                            ExitUsage);
            }
            if (EditProfile(format, ui) == TProfileCommandResult::Done) {
                console.Out("Saved " + formatName + " profile \"" + ProfileLists[format].Text() + "\" as " +
                            SelectedProfilePath(format));
                return ExitConverted;
            }
            if (!ui.Messages.empty())
                return fail(TerminalText(ui.Messages.back()), ExitUsage);
            break;
        }
        case TCliAction::RenameProfile: {
            if (!SelectProfile(format, name))
                return unknown(args.ProfileName);
            if (!ValidProfileName(newName))
                return invalidName(args.NewName);
            const std::string oldName = ProfileLists[format].Text();
            const TProfileCommandResult result = RenameProfile(format, ui);
            if (result == TProfileCommandResult::Done) {
                console.Out("Renamed " + formatName + " profile \"" + oldName + "\" to \"" + newName + "\"");
                return ExitConverted;
            }
            const std::string why = ui.Messages.empty() ? std::string() : TerminalText(ui.Messages.back());
            if (result == TProfileCommandResult::Exists)
                return fail(why + " (" + formatName + " profile \"" + newName + "\" exists)", ExitUsage);
            return fail(why, ExitFailed);
        }
        case TCliAction::DeleteProfile: {
            if (!SelectProfile(format, name))
                return unknown(args.ProfileName);
            const std::string deleted = ProfileLists[format].Text();
            const TProfileCommandResult result = DeleteProfile(format, ui);
            if (result == TProfileCommandResult::Done) {
                console.Out("Deleted " + formatName + " profile \"" + deleted + "\"");
                return ExitConverted;
            }
            const std::string why = ui.Messages.empty() ? std::string() : TerminalText(ui.Messages.back());
            return fail(why, result == TProfileCommandResult::LastProfile ? ExitUsage : ExitFailed);
        }
        default:
            break;
        }
    } catch (const std::exception& e) {
        return fail(e.what(), ExitFailed);
    }
    return fail("the profile command did nothing", ExitFailed);
}

} // namespace qvcli
