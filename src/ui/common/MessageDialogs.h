#pragma once

// Every message box and question of the GUI goes through these routines
// instead of a raw QMessageBox, so that tests can answer them without a click
// and read what would have been shown.

#include "app/Prompter.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QMessageBox;
class QPushButton;

// Results, buttons and icons are the prompter's (TModalResult, TMsgButton,
// TMsgIcon), so that the batch's questions go through here unchanged. Buttons
// without a named result give 3 Abort, 4 Retry, 5 Ignore, 8 All, 9 No To All
// and 12 Help.

// The choice dialog with button captions of our own (normally catalogue
// texts): the buttons appear in the order of TMsgButton, and Captions holds
// one text per button in that order.
// All buttons get the width of the widest caption + 16 (at least 88) and sit
// centred in one row. Returns the result of the pressed button (Yes 6, No 7,
// Cancel 2, Yes To All 10, OK 1). Closing the dialog (Escape, the close box)
// answers Cancel where it has Cancel, else No where it has No, else OK where
// it has OK: a question closed unanswered never counts as Yes.
int ShowLocalizedMessage(QWidget* parent, const std::string& text, const std::string& title, TMsgIcon type,
                         const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions);

// The dialog ShowLocalizedMessage shows, built but not shown (for inspection).
class TLocalizedMessageDialog : public QDialog {
    Q_OBJECT
public:
    TLocalizedMessageDialog(QWidget* parent, const std::string& text, const std::string& title, TMsgIcon type,
                            const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions);

    const std::vector<QPushButton*>& Buttons() const { return buttons_; }
    int ButtonWidth() const { return buttonWidth_; }
    // The result of closing the dialog without a button.
    int CloseResult() const { return closeResult_; }

    void reject() override;

private:
    std::vector<QPushButton*> buttons_;
    int buttonWidth_ = 0;
    int closeResult_ = mrCancel;
};

// The common button width: the widest caption (in pixels) + 16, at least 88.
int CommonButtonWidth(const std::vector<int>& captionWidths);
// Left edge of button Index of Count buttons of Width in a dialog of DialogWidth.
int ButtonLeft(int dialogWidth, int width, int count, int index);

// ---- Plain message boxes ----

enum class TMsgBoxButtons { OK, OKCancel, YesNo, YesNoCancel };

// A standard message box; returns mrOk, mrCancel, mrYes or mrNo. DefaultIndex
// picks the default button by position (0 = first). Closing it gives Cancel
// (No for a Yes/No box, OK for an OK box).
int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                   TMsgIcon icon = TMsgIcon::Information, TMsgBoxButtons buttons = TMsgBoxButtons::OK,
                   int defaultIndex = 0);

// An information window that does not wait: it stays open over Parent until
// the user closes it, while the program goes on. Recorded like a message box
// (result mrNone); in test mode it is recorded and not shown.
void ShowNoticeWindow(QWidget* parent, const std::string& text, const std::string& caption);
// Shows a message box over Parent, named Name, that does not wait and goes
// away when closed; nothing is recorded. Returns the box (deleted on close).
QMessageBox* ShowNonModalBox(QWidget* parent, const char* name, const std::string& title, const std::string& text,
                     TMsgIcon icon);

// ---- Test hook ----

// What a dialog showed (or would have shown when a test answered it).
struct TShownDialog {
    enum Kind { Localized, MessageBox, FileDialog } kind = Localized;
    std::string text;
    std::string title;
    std::vector<std::string> captions; // localized: the button captions in order
    TMsgIcon icon = TMsgIcon::Information;
    int result = mrNone;
    bool answeredByTest = false;

    static TShownDialog Of(Kind kind, const std::string& title, const std::string& text,
                           TMsgIcon icon = TMsgIcon::Information)
    {
        TShownDialog shown;
        shown.kind = kind;
        shown.title = title;
        shown.text = text;
        shown.icon = icon;
        return shown;
    }
};

namespace DialogHook {

// Queue the answer of the next dialog: the result it returns without being
// shown. An answer function runs in place of the dialog's modal loop (the
// dialog, where there is one, exists and is built at that moment).
void QueueAnswer(int result);
void QueueAnswer(std::function<int()> answer);
// The next file dialog returns this path ("" = cancelled).
void QueueFileAnswer(const std::string& path);
int PendingAnswers();
int PendingFileAnswers();
void Clear();

// With test mode on, a dialog without a queued answer does not block: it
// returns Cancel (file dialogs: "") and is recorded as unanswered.
void SetTestMode(bool on);
bool TestMode();
int UnansweredCount();

// Every dialog shown since the last Clear.
const std::vector<TShownDialog>& Shown();
const TShownDialog* Last();

// Internal: the answer in force for the next dialog, if any.
bool TakeAnswer(int& result);
bool TakeFileAnswer(std::string& path);
void Record(TShownDialog dialog);
void RecordUnanswered();

} // namespace DialogHook
