#pragma once

// The full media report of one file, with a command that saves it as text.

#include "ui/common/ModalForm.h"

#include <QString>
#include <string>

class QPlainTextEdit;
class QPushButton;

class TfrmFileInfo : public TModalForm {
    Q_OBJECT
public:
    explicit TfrmFileInfo(QWidget* owner = nullptr);

    // Caption "File Information - <name>", the report, then modally.
    int ShowReport(const std::string& fileName, const QString& report);
    void SetReport(const QString& report);
    QString Report() const;

    // Writes the report to Path, every line ended by CR LF; false on failure.
    bool SaveReport(const std::string& path) const;

    QPlainTextEdit* mmoInfo;
    QPushButton* btnOK;
    QPushButton* btnSave;

private:
    void SaveClick();

    // Taken once, at creation.
    std::string saveFilter_;
    std::string proposedName_;
    std::string lastFolder_;
};

// Report lines joined with CR LF after every line (also the last).
std::string ReportFileText(const QString& report);
