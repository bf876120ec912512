#include "ui/dialogs/FileInfoWnd.h"

#include "app/AppUtils.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QVBoxLayout>

std::string ReportFileText(const QString& report)
{
    if (report.isEmpty())
        return std::string();
    QStringList lines = report.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    // A break at the very end makes no empty last line.
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    std::string out;
    for (const QString& line : lines) {
        out += S(line);
        out += "\r\n";
    }
    return out;
}

TfrmFileInfo::TfrmFileInfo(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmFileInfo"));
    setWindowTitle(Q(IDS_FILEINFORMATION_FORM_Caption));

    mmoInfo = new QPlainTextEdit(this);
    mmoInfo->setObjectName(QStringLiteral("mmoInfo"));
    mmoInfo->setReadOnly(true);
    mmoInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmoInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The report aligns its values in columns.
    mmoInfo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    btnSave = new QPushButton(Q(IDS_FILEINFORMATION_BUTTTON_SaveFielInfo), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnSave->setAutoDefault(false);
    btnOK = new QPushButton(Q(IDS_FILEINFORMATION_BUTTON_OK), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mmoInfo);
    layout->addLayout(buttons);

    // Qt filters name their patterns in brackets; "*" is every file here.
    saveFilter_ = IDS_FILEINFORMATION_LABEL_TextFile + " (*.txt);;" + IDS_FILEINFORMATION_LABEL_AllFile + " (*)";
    proposedName_ = IDS_FILEINFORMATION_SaveDialog_FileName;

    connect(btnOK, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(btnSave, &QPushButton::clicked, this, &TfrmFileInfo::SaveClick);
    setMinimumSize(400, 250);
    resize(537, 293);
}

int TfrmFileInfo::ShowReport(const std::string& fileName, const QString& report)
{
    setWindowTitle(Q(FormatText(IDS_LABEL_FileInformation, {fileName})));
    SetReport(report);
    return ShowModal();
}

void TfrmFileInfo::SetReport(const QString& report)
{
    mmoInfo->setPlainText(report);
}

QString TfrmFileInfo::Report() const
{
    return mmoInfo->toPlainText();
}

bool TfrmFileInfo::SaveReport(const std::string& path) const
{
    // Written beside and renamed over the old file, so a failed save never
    // leaves half a report behind.
    QSaveFile file(Q(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string text = ReportFileText(Report());
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void TfrmFileInfo::SaveClick()
{
    std::string folder = lastFolder_;
    if (folder.empty())
        folder = AddTrailingBackslash(GetSpecialFolder("Personal"));
    const std::string path =
        ChooseSaveFile(this, std::string(), AddTrailingBackslash(folder) + proposedName_, saveFilter_, "txt");
    if (path.empty())
        return;
    lastFolder_ = S(QFileInfo(Q(path)).absolutePath());
    if (!SaveReport(path))
        ShowMessageBox(this, FormatText(IDS_MESSAGEBOX_SaveFailed, {path}), IDS_MESSAGEBOX_Error, TMsgIcon::Error);
}
