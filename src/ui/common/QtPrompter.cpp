#include "ui/common/QtPrompter.h"

#include "ui/common/MessageDialogs.h"
#include "ui/common/QtDispatcher.h"

void TQtPrompter::MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon)
{
    ShowMessageBox(owner_, text, caption, icon, TMsgBoxButtons::OK);
}

int TQtPrompter::Choice(const std::string& text, const std::string& title, TMsgIcon type,
                        const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions)
{
    return ShowLocalizedMessage(owner_, text, title, type, buttons, captions);
}

int TQtPrompter::AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon, int defaultButton)
{
    return ShowMessageBox(owner_, text, caption, icon, TMsgBoxButtons::YesNoCancel, defaultButton - 1);
}

void TQtPrompter::ShowError(const std::string& message)
{
    ShowExceptionMessage(message);
}
