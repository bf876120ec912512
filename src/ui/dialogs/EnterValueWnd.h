#pragma once

// Entry of a whole number between two bounds (bitrates in the profile editors).

#include "ui/common/ModalForm.h"

#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// Reads Text as a signed 32-bit decimal number (blanks around it allowed, an
// optional sign). Returns 0 and sets Value on success; otherwise the 1-based
// position of the first character that cannot be read (one past the end when
// the text stops too early).
int ParseIntegerEntry(const std::string& text, int32_t& value);

class TfrmEnterValue : public TModalForm {
    Q_OBJECT
public:
    explicit TfrmEnterValue(QWidget* owner = nullptr);

    bool Accepted() const { return accepted_; }
    int32_t Value() const { return value_; }
    int32_t Minimum = 0;
    int32_t Maximum = 0;

    QLabel* lblDisplayMessage;
    QLineEdit* txtValue;
    QLabel* lblRange; // the bounds, under the edit box
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void OkClick();

    bool accepted_ = false;
    int32_t value_ = 0;
};

// Asks for a number between Minimum and Maximum (both allowed) in a dialog
// centred over Owner that opens on Current (selected, so that typing replaces
// it) and names the bounds; returns the number, or Current when the user
// cancels.
int32_t AskValue(QWidget* owner, const std::string& caption, const std::string& message, int32_t current,
                 int32_t maximum, int32_t minimum);
