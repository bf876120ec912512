#pragma once

// The program's message boxes and questions as real dialogs, owned by a window.

#include "app/Prompter.h"

class QWidget;

class TQtPrompter : public TPrompter {
public:
    explicit TQtPrompter(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) override;
    int Choice(const std::string& text, const std::string& title, TMsgIcon type, const std::vector<TMsgButton>& buttons,
               const std::vector<std::string>& captions) override;
    int AskYesNoCancel(const std::string& text, const std::string& caption, TMsgIcon icon, int defaultButton) override;
    void ShowError(const std::string& message) override;

private:
    QWidget* owner_;
};
