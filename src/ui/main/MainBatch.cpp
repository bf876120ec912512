#include "ui/main/MainBatch.h"

#include <QCheckBox>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "app/Settings.h"
#include "engine/QueueStore.h"
#include "engine/Redirect.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtPrompter.h"
#include "ui/common/QtText.h"
#include "ui/main/FileListItem.h"
#include "ui/main/FileListPanel.h"
#include "ui/main/SleepInhibitor.h"

int TMainFileQueue::Count() const
{
    return list_.ConvertibleCount();
}

std::string TMainFileQueue::FullName(int index) const
{
    const TFileListItem* item = list_.ConvertibleAt(index);
    return item ? item->Path : std::string();
}

std::string TMainFileQueue::SizeText(int index) const
{
    const TFileListItem* item = list_.ConvertibleAt(index);
    return item ? std::to_string(item->Size) : std::string("0");
}

void TMainFileQueue::RemoveFileByPath(const std::string& path)
{
    list_.SetFileState(path, TFileState::Converted, OutputNameOf ? OutputNameOf(path) : std::string());
}

void TMainFileQueue::MoveFileToEnd(const std::string& path)
{
    list_.MoveFileToEnd(path);
}

void TMainFileQueue::RecordFailure(const std::string& path, const std::string& reason)
{
    list_.SetFileState(path, TFileState::Failed, reason);
    if (Store)
        Store->SetState(path, TFileState::Failed, {}, {}, reason);
}

void TMainFileQueue::FileStarted(const std::string& path, const std::string& output)
{
    list_.SetFileState(path, TFileState::Converting);
    if (!Store)
        return;
    if (batchId_ == 0)
        batchId_ = Store->BeginBatch(BatchSettings ? BatchSettings() : std::map<std::string, std::string>(),
                                     list_.FilePaths());
    // The output name is kept from the start: should the program end before
    // the state below changes again, the next start finds out whether the
    // output was committed.
    Store->SetState(path, TFileState::Converting, output);
    QueueKillPoint("start");
}

void TMainFileQueue::RecordConverted(const std::string& path, const std::string& output,
                                     const std::vector<std::string>& notes)
{
    if (!Store)
        return;
    QueueKillPoint("commit");
    std::string text;
    for (const std::string& n : notes)
        text += (text.empty() ? "" : "\n") + n;
    Store->SetState(path, TFileState::Converted, output, text);
}

void TMainFileQueue::EndBatch(const std::vector<std::string>& stopped)
{
    for (int i = 0; i < list_.FileCount(); ++i) {
        if (list_.FileStateAt(i) != TFileState::Converting)
            continue;
        const std::string path = list_.FilePathAt(i);
        const bool wasStopped = std::find(stopped.begin(), stopped.end(), path) != stopped.end();
        const TFileState state = wasStopped ? TFileState::Stopped : TFileState::Waiting;
        list_.SetFileState(path, state);
        if (Store)
            Store->SetState(path, state);
    }
    for (const auto& [path, reason] : skipped_) {
        list_.SetFileState(path, TFileState::Skipped, reason);
        if (Store)
            Store->SetState(path, TFileState::Skipped, {}, {}, reason);
    }
    skipped_.clear();
    if (!Store || batchId_ == 0)
        return;
    Store->EndBatch(batchId_);
    batchId_ = 0;
}

TSourcePlace TMainFileQueue::SourcePlace(int index) const
{
    const TFileListItem* item = list_.ConvertibleAt(index);
    return item ? item->Place : TSourcePlace();
}

void TMainFileQueue::RecordSkipped(const std::string& path, const std::string& reason)
{
    // Marked when the batch returns: while it runs, the queue's order is
    // the one the batch counts by.
    skipped_.emplace_back(path, reason);
}

void TMainFileQueue::MarkAllFailed()
{
    // Converted files keep their mark.
    for (int i = 0; i < list_.FileCount(); ++i)
        if (list_.FileStateAt(i) != TFileState::Converted && list_.FileStateAt(i) != TFileState::Skipped)
            list_.SetFileImage(i, 1);
}


// ---------------------------------------------------------------------------

std::unique_ptr<TProgressView> TMainBatchHost::CreateProgressView()
{
    // The machine stays awake from here until the batch has returned.
    InhibitSleep(true);
    auto view = TGuiBatchHost::CreateProgressView();
    if (ProgressShown)
        ProgressShown(dynamic_cast<QWidget*>(view.get()));
    return view;
}

void TMainBatchHost::ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs)
{
    if (BalloonShown)
        BalloonShown(text);
    TGuiBatchHost::ShowTrayBalloon(title, text, icon, timeoutMs);
}

void TMainBatchHost::InhibitSleep(bool inhibit)
{
    if (inhibit)
        inhibitor_.Acquire(Q(ApplicationTitle), DisplayText(IDS_ID_EncodingInProgress));
    else
        inhibitor_.Release();
}

// ---------------------------------------------------------------------------

TMainBatch::TMainBatch(QWidget* window, QSystemTrayIcon* tray, TFileListPanel& list)
    : list_(list), sleepInhibitor_(std::make_unique<TSleepInhibitor>())
{
    percentTimer_ = new QTimer(this);
    percentTimer_->setInterval(250);
    connect(percentTimer_, &QTimer::timeout, this, &TMainBatch::ShowFilePercents);
    dispatcher_ = std::make_unique<TQtDispatcher>();
    runner_ = std::make_unique<TRedirector>(*dispatcher_);
    prompter_ = std::make_unique<TQtPrompter>(window);
    queue_ = std::make_unique<TMainFileQueue>(list);
    host_ = std::make_unique<TMainBatchHost>(window, tray, *sleepInhibitor_);
    host_->ProgressShown = [this](QWidget* progress) { ProgressShown(progress); };
    host_->BalloonShown = [this](const std::string& text) { lastBalloon_ = text; };
    driver_ = std::make_unique<TBatchDriver>(*runner_, *queue_, *host_, *prompter_, *dispatcher_);
    host_->OutputFolder = [this] { return driver_->OutputFolder; };
    queue_->OutputNameOf = [this](const std::string& source) { return driver_->OutputNameOf(source); };
}

// The members go in the order they were declared, backwards.
TMainBatch::~TMainBatch() = default;

void TMainBatch::ProgressShown(QWidget* progress)
{
    progress_ = progress;
    if (!progress)
        return;
    // The progress window's two check boxes change the armed options; the
    // main window follows them at once.
    for (const char* name : {"chkDelSource", "chkShutdown"})
        if (auto* box = progress->findChild<QCheckBox*>(QString::fromLatin1(name)))
            connect(box, &QCheckBox::toggled, this, &TMainBatch::ArmedOptionsChanged);
    if (StartedHook)
        StartedHook(progress);
}

void TMainBatch::Convert(const std::string& folder)
{
    if (running_)
        return;
    running_ = true;
    queue_->BeginBatch();
    percentTimer_->start();
    try {
        driver_->ConvertFiles(folder);
    } catch (const std::exception& e) {
        prompter_->ShowError(e.what());
    }
    percentTimer_->stop();
    queue_->EndBatch(driver_->StoppedFiles());
    // The inhibitor taken when the batch started is released however it ended.
    sleepInhibitor_->Release();
    running_ = false;
    progress_ = nullptr;
}

void TMainBatch::ShowFilePercents()
{
    for (int i = 0; i < driver_->JobCount(); ++i) {
        const TFileProgress& f = driver_->FileProgress(i);
        if (!f.CurrentFile.empty())
            list_.SetFileProgress(f.CurrentFile, f.FilePercent);
    }
}
