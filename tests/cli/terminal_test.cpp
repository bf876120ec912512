// The terminal side of quorvex-cli: texts, answers to questions, the kept
// error lines of a file and the progress line.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "app/Settings.h"
#include "cli/Terminal.h"
#include "lang/MultiLanguages.h"

using namespace qvcli;

namespace {

// A console writing into two temporary files instead of the terminal.
class CapturedConsole {
public:
    CapturedConsole() : out_(std::tmpfile()), err_(std::tmpfile()), console(out_, err_, false) {}
    ~CapturedConsole()
    {
        std::fclose(out_);
        std::fclose(err_);
    }
    std::string Out() { return Read(out_); }
    std::string Err() { return Read(err_); }

private:
    static std::string Read(FILE* f)
    {
        std::fflush(f);
        std::rewind(f);
        std::string text;
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        return text;
    }
    FILE* out_;
    FILE* err_;

public:
    TConsole console;
};

TEST(TerminalText, TurnsEveryLineBreakIntoOneNewline)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a\r\n\r\nb", "a\n\nb"}, {"a\rb", "a\nb"}, {"a\nb", "a\nb"}, {"a\n\rb", "a\n\nb"}, {"", ""}, {"\r\n", "\n"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(TerminalText(in), out);
}

TEST(Console, NamesNeverBreakLinesOrMoveTheCursor)
{
    const std::string name = "/in/a\nError \x1b[2J\rcaf\xe9.avi";
    EXPECT_EQ(TerminalName(name), "/in/a\\nError \\x1B[2J\\rcaf\\xE9.avi");
    CapturedConsole c;
    // Line breaks and tabs of the program's own texts stay; other control characters never pass raw.
    c.console.Out("Converted: " + TerminalName(name) + "\n  next\tline");
    c.console.Err("raw \x1b[1A\x07 bell");
    EXPECT_EQ(c.Out(), "Converted: /in/a\\nError \\x1B[2J\\rcaf\\xE9.avi\n  next\tline\n");
    EXPECT_EQ(c.Err(), "raw \\x1B[1A\\x07 bell\n");
}

TEST(FitColumns, CutsAtCharactersNotBytes)
{
    const std::tuple<const char*, size_t, const char*> cases[] = {
        {"abcdef", 3, "abc"}, {"abc", 3, "abc"}, {"abc", 10, "abc"}, {"äöü", 2, "äö"}, {"a€b", 2, "a€"}, {"", 0, ""},
    };
    for (const auto& [in, columns, out] : cases)
        EXPECT_EQ(FitColumns(in, columns), out) << in << " " << columns;
}

const std::vector<TMsgButton> OverwriteButtons = {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel,
                                                  TMsgButton::YesToAll};
const std::vector<std::string> OverwriteCaptions = {"Yes", "No", "Cancel", "Yes To All"};

struct ChoiceCase {
    const char* Name;
    bool Interactive;
    bool AssumeYes;
    const char* Input;
    int Expected;
    int Questions; // times the question was put
};

TEST(Prompter, ChoiceAnswers)
{
    const ChoiceCase cases[] = {
        {"number picks the button", true, false, "4\n", mrYesToAll, 1},
        {"whole caption in any case", true, false, "yes to all\n", mrYesToAll, 1},
        {"unique first letter", true, false, "n\n", mrNo, 1},
        {"shared first letter asks again", true, false, "y\nc\n", mrCancel, 2},
        {"nonsense asks again", true, false, "maybe\n 1 \n", mrYes, 2},
        {"end of input cancels", true, false, "", mrCancel, 1},
        {"not interactive refuses", false, false, "1\n", mrCancel, 0},
        {"yes answers yes to all", false, true, "", mrYesToAll, 0},
        {"yes wins over the terminal", true, true, "2\n", mrYesToAll, 0},
    };
    for (const ChoiceCase& c : cases) {
        CapturedConsole cap;
        std::istringstream in(c.Input);
        TTerminalPrompter prompter(cap.console, in, c.Interactive, c.AssumeYes);
        EXPECT_EQ(prompter.Choice("File \"x\" already exists.\r\n\r\nOverwrite?", "Overwrite file?",
                                  TMsgIcon::Confirmation, OverwriteButtons, OverwriteCaptions),
                  c.Expected)
            << c.Name;
        const std::string err = cap.Err();
        size_t asked = 0;
        for (size_t p = err.find("1) Yes  2) No  3) Cancel  4) Yes To All"); p != std::string::npos;
             p = err.find("1) Yes", p + 1))
            ++asked;
        EXPECT_EQ(asked, static_cast<size_t>(c.Questions)) << c.Name << "\n" << err;
        if (!c.Interactive && !c.AssumeYes) {
            EXPECT_NE(err.find("Overwrite file?: File \"x\" already exists.\n\nOverwrite?"), std::string::npos) << err;
            EXPECT_NE(err.find("--yes"), std::string::npos) << err;
        }
    }
}

TEST(Prompter, YesNoCancelAnswers)
{
    struct {
        const char* Name;
        bool Interactive;
        bool AssumeYes;
        const char* Input;
        int DefaultButton;
        int Expected;
    } cases[] = {
        {"empty answer takes the default", true, false, "\n", 2, mrNo},
        {"empty answer takes the first default", true, false, "\n", 1, mrYes},
        {"letter", true, false, "c\n", 1, mrCancel},
        {"word", true, false, "YES\n", 2, mrYes},
        {"nonsense asks again", true, false, "what\nn\n", 1, mrNo},
        {"end of input cancels", true, false, "", 1, mrCancel},
        {"not interactive refuses", false, false, "y\n", 1, mrCancel},
        {"assumed yes", false, true, "", 2, mrYes},
    };
    for (const auto& c : cases) {
        CapturedConsole cap;
        std::istringstream in(c.Input);
        TTerminalPrompter prompter(cap.console, in, c.Interactive, c.AssumeYes);
        EXPECT_EQ(prompter.AskYesNoCancel("Create it?", "Create directory", TMsgIcon::Confirmation, c.DefaultButton),
                  c.Expected)
            << c.Name;
    }
}

TEST(Prompter, MessagesOfARunningFileAreKeptForItsReport)
{
    ResetCatalogue();
    CapturedConsole cap;
    std::istringstream in;
    TTerminalPrompter prompter(cap.console, in, false, false);

    std::string current = "/src/a.avi";
    prompter.CurrentFile = [&] { return current; };
    prompter.MessageBox("Mind the gap", "Hint", TMsgIcon::Warning); // not collecting: shown at once
    prompter.CollectFileMessages = true;
    prompter.MessageBox("Error while opening\r\nsecond line", "Error", TMsgIcon::Information);
    prompter.ShowError("Error creating process : 2");
    current = "/src/b.avi";
    prompter.MessageBox("Error for b", "Error", TMsgIcon::Information);
    prompter.CollectFileMessages = false;

    EXPECT_EQ(cap.Err(), "Hint: Mind the gap\n");
    EXPECT_EQ(prompter.TakeFileMessages("/src/a.avi"),
              (std::vector<std::string>{"Error while opening\nsecond line", "Error creating process : 2"}));
    EXPECT_TRUE(prompter.TakeFileMessages("/src/a.avi").empty());
    const auto rest = prompter.TakeAllFileMessages();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].first, "/src/b.avi");
    EXPECT_EQ(rest[0].second, "Error for b");

    // A message that already starts with its caption is not prefixed twice.
    prompter.ShowError("Error reading STDOUT pipe : 5");
    EXPECT_EQ(cap.Err(), "Hint: Mind the gap\nError reading STDOUT pipe : 5\n");
    Options = TOptions{};
}

} // namespace
