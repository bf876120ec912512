#pragma once

// How the program asks the user: dialog results, the buttons and icons of
// message boxes, and the prompter that shows them. The GUI shows real
// dialogs; the command-line front end and tests answer from the terminal or
// from a script.

#include <string>
#include <vector>

// Results of dialogs and message boxes.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// Standard buttons of the choice dialog, in the order their captions are given.
enum class TMsgButton { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };

enum class TMsgIcon { Warning, Error, Information, Confirmation };

// Message boxes and questions.
class TPrompter {
public:
    virtual ~TPrompter() = default;
    // A message box with one OK button.
    virtual void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
    // The choice dialog with catalogue captions: one caption per button, in
    // the order of Buttons (which follows TMsgButton's order). Returns mrYes,
    // mrNo, mrOk, mrCancel, mrNoToAll or mrYesToAll for the pressed button; closing the
    // dialog gives mrCancel where it has Cancel, else mrNo where it has No.
    virtual int Choice(const std::string& text, const std::string& title, TMsgIcon type,
                       const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions) = 0;
    // A system message box with Yes, No and Cancel; DefaultButton is 1, 2 or
    // 3. Returns mrYes, mrNo or mrCancel.
    virtual int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon,
                               int defaultButton) = 0;
    // The application's standard error box for a failure's message.
    virtual void ShowError(const std::string& message) = 0;
};
