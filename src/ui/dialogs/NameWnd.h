#pragma once

// The profile-name dialog: new profiles and renaming.

#include "ui/common/ModalForm.h"

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TfrmName : public TModalForm {
    Q_OBJECT
public:
    explicit TfrmName(QWidget* owner = nullptr);

    // True once OK was pressed with a valid name.
    bool Accepted() const { return accepted_; }
    // The name in the edit box (trimmed once accepted).
    std::string Name() const;
    void SetName(const std::string& name);

    QLabel* lblName;
    QLineEdit* txtFileName;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    void OkClick();

    bool accepted_ = false;
};

