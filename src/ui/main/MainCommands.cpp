// The main window's commands that reach other windows or the engine: the
// output folder, settings, about, file information and the batch.

#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QSystemTrayIcon>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Busy.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/AboutWnd.h"
#include "ui/dialogs/FileInfoWnd.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/SettingsWnd.h"
#include "ui/main/MainBatch.h"

#include <exception>

QString TfrmMain::OutputFolderText() const
{
    return txtOutputDir_->text();
}

void TfrmMain::Browse()
{
    std::string path = Options.LastOutputOpenDir;
    if (!BrowseForFolder(this, path, IDS_SelectFolder, 65))
        return;
    Options.LastOutputOpenDir = path;
    txtOutputDir_->setText(Q(path));
}

void TfrmMain::OpenDestinationFolder()
{
    TBatchDriver& driver = batch_->Driver();
    if (!driver.OutputFolderReady(S(txtOutputDir_->text())))
        return;
    OpenLocalFile(S(txtOutputDir_->text().trimmed()));
}

void TfrmMain::ShowSettings()
{
    if (TfrmSettings::Execute(this) == mrOk) {
        // Turned on: the converted files listed now go too.
        if (Options.ClearConvertedFiles)
            fileList_->ClearFinished();
        try {
            SaveOptions();
        } catch (const std::exception& e) {
            // The choice stays in force for this run; the user learns it was not stored.
            ShowExceptionMessage(e.what());
        }
    }
    UpdateArmedLine();
}

void TfrmMain::ConvertFiles()
{
    if (batch_->Running())
        return;
    batch_->Convert(S(txtOutputDir_->text()));
    fileList_->RefreshListState();
    UpdateArmedLine();
    if (!handedOver_.empty()) {
        std::vector<std::string> paths;
        paths.swap(handedOver_);
        DropFiles(paths);
    }
}

bool TfrmMain::BatchRunning() const
{
    return batch_->Running();
}

const std::string& TfrmMain::LastBalloon() const
{
    return batch_->LastBalloon();
}

void TfrmMain::ShowAbout()
{
    // Created on first use and kept.
    if (!frmAbout_) {
        frmAbout_ = new TfrmAbout(this);
        connect(frmAbout_, &TfrmAbout::OnlineResourcesRequested, this, &TfrmMain::HelpContent);
    }
    frmAbout_->ShowModal();
}

void TfrmMain::ShowMoreInformation()
{
    const TFileItem* item = fileList_->FirstSelectedItem();
    if (!item)
        return;
    const std::string path = AddTrailingBackslash(item->FilePath) + item->FileName;
    if (!QFileInfo(Q(path)).isFile())
        return; // removed from disk after it was added
    if (!frmFileInfo_)
        frmFileInfo_ = new TfrmFileInfo(this);
    QString report;
    {
        TBusyCursor busy;
        report = Q(MediaReport(path));
    }
    frmFileInfo_->ShowReport(item->FileName, report);
}

void TfrmMain::RestoreFromTray()
{
    auto* progress = qobject_cast<TfrmProgress*>(batch_->Progress());
    if (progress && progress->InTray()) {
        progress->RestoreFromTray(); // brings this window back too
        return;
    }
    showNormal();
    raise();
    activateWindow();
    if (progress) {
        progress->showNormal();
        progress->raise();
    }
    trayIcon_->hide();
}

void TfrmMain::TrayExit()
{
    if (auto* progress = qobject_cast<TfrmProgress*>(batch_->Progress()))
        progress->RequestClose(); // asks how to stop
    else
        close();
}
