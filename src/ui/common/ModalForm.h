#pragma once

// Base of the program's dialogs: results are mrOk / mrCancel (closing the
// window or Escape give mrCancel), and ShowModal centres the dialog over its
// owner before running it. Tests drive a dialog through a queued form driver
// instead of its modal loop.

#include "ui/common/MessageDialogs.h"

#include <QDialog>
#include <functional>
#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class TModalForm : public QDialog {
    Q_OBJECT
public:
    explicit TModalForm(QWidget* owner = nullptr);

    // Centres over the owner and runs the modal loop; returns the result.
    virtual int ShowModal();
    void reject() override { done(mrCancel); }

protected:
    // A push button on the form named Name; the default button when IsDefault.
    QPushButton* NewButton(const QString& text, const char* name, bool isDefault = false);
    // A row holding Buttons at its right end, or in its middle when Centred.
    static QHBoxLayout* ButtonRow(std::initializer_list<QWidget*> buttons, bool centred = false);
    // Lays the form out as the small entry dialogs have it: a caption, one
    // edit box, then OK (default, runs OnOk) and Cancel; the controls get the
    // given object names, the buttons "btnOK" and "btnCancel".
    void BuildEntryForm(const char* labelName, const QString& labelText, const char* editName, QLabel*& label,
                        QLineEdit*& edit, QPushButton*& ok, QPushButton*& cancel, std::function<void()> onOk);
};

namespace DialogHook {
// The next TModalForm::ShowModal shows the form without a modal loop and runs
// Driver on it instead; a form still open afterwards closes with mrCancel.
void QueueFormDriver(std::function<void(QDialog&)> driver);
int PendingFormDrivers();
void ClearFormDrivers();
// Runs the next driver on Form; false when none is queued.
bool DriveForm(QDialog& form);
} // namespace DialogHook
