// The main window's commands that reach other windows or the engine: the
// output folder, settings, about, file information and the batch.

#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTreeWidget>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "engine/BatchDriver.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Busy.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtPrompter.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/AboutWnd.h"
#include "ui/dialogs/BatchHost.h"
#include "ui/dialogs/FileInfoWnd.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/SettingsWnd.h"
#include "ui/main/FileListItem.h"
#include "ui/main/MainBatch.h"
#include "ui/main/SleepInhibitor.h"

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
    TBatchDriver& driver = Driver();
    if (!driver.OutputFolderReady(S(txtOutputDir_->text())))
        return;
    OpenLocalPath(S(txtOutputDir_->text().trimmed()));
}

void TfrmMain::ShowSettings()
{
    TfrmSettings::Execute(this);
    UpdateArmedLine();
}

void TfrmMain::CreateBatchMachinery()
{
    dispatcher_ = std::make_unique<TQtDispatcher>();
    runner_ = std::make_unique<TRedirector>(*dispatcher_);
    prompter_ = std::make_unique<TQtPrompter>(this);
    queue_ = std::make_unique<TMainFileQueue>(*this);
    host_ = std::make_unique<TMainBatchHost>(*this);
    driver_ = std::make_unique<TBatchDriver>(*runner_, *queue_, *host_, *prompter_, *dispatcher_);
}

TBatchDriver& TfrmMain::Driver()
{
    return *driver_;
}

void TfrmMain::ConvertFiles()
{
    if (batchRunning_)
        return;
    batchRunning_ = true;
    try {
        driver_->ConvertFiles(S(txtOutputDir_->text()));
    } catch (const std::exception& e) {
        prompter_->ShowError(e.what());
    }
    // The inhibitor taken when the batch started is released however it ended.
    sleepInhibitor_->Release();
    batchRunning_ = false;
    progress_ = nullptr;
    RefreshListState();
    UpdateArmedLine();
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
    auto* item = static_cast<TFileListItem*>(FirstSelected());
    if (!item)
        return;
    const std::string path = AddTrailingBackslash(item->Info.FilePath) + item->Info.FileName;
    if (!QFileInfo(Q(path)).isFile())
        return; // removed from disk after it was added
    if (!frmFileInfo_)
        frmFileInfo_ = new TfrmFileInfo(this);
    QString report;
    {
        TBusyCursor busy;
        report = Q(MediaReport(path));
    }
    frmFileInfo_->ShowReport(item->Info.FileName, report);
}

void TfrmMain::RestoreFromTray()
{
    auto* progress = qobject_cast<TfrmProgress*>(progress_.data());
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
    if (auto* progress = qobject_cast<TfrmProgress*>(progress_.data()))
        progress->RequestClose(); // asks how to stop
    else
        close();
}

TfrmMain::~TfrmMain()
{
    // The list and its model report their own teardown (selection and reset
    // signals) while QWidget deletes the children, after this part of the
    // window is gone: cut those connections first.
    lsvFileName_->model()->disconnect(this);
    lsvFileName_->disconnect(this);
    // The batch machinery goes in the order its members were declared, backwards.
}
