#include "ui/main/MainBatch.h"

#include <QCheckBox>
#include <QWidget>

#include "app/Settings.h"
#include "engine/Redirect.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtPrompter.h"
#include "ui/common/QtText.h"
#include "ui/main/FileListPanel.h"
#include "ui/main/SleepInhibitor.h"

int TMainFileQueue::Count() const
{
    return list_.FileCount();
}

std::string TMainFileQueue::FullName(int index) const
{
    return list_.FilePathAt(index);
}

std::string TMainFileQueue::SizeText(int index) const
{
    const TFileItem* item = list_.FileItemAt(index);
    return item ? item->FileSize : std::string("0");
}

void TMainFileQueue::RemoveFileByPath(const std::string& path)
{
    list_.RemoveFileByPath(path);
}

void TMainFileQueue::MoveFileToEnd(const std::string& path)
{
    list_.MoveFileToEnd(path);
}

void TMainFileQueue::RecordFailure(const std::string& path, const std::string& reason)
{
    list_.SetFileFailure(path, reason);
}

TSourcePlace TMainFileQueue::SourcePlace(int index) const
{
    return list_.SourcePlaceAt(index);
}

void TMainFileQueue::MarkAllFailed()
{
    for (int i = 0; i < list_.FileCount(); ++i)
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
    : sleepInhibitor_(std::make_unique<TSleepInhibitor>())
{
    dispatcher_ = std::make_unique<TQtDispatcher>();
    runner_ = std::make_unique<TRedirector>(*dispatcher_);
    prompter_ = std::make_unique<TQtPrompter>(window);
    queue_ = std::make_unique<TMainFileQueue>(list);
    host_ = std::make_unique<TMainBatchHost>(window, tray, *sleepInhibitor_);
    host_->ProgressShown = [this](QWidget* progress) { ProgressShown(progress); };
    host_->BalloonShown = [this](const std::string& text) { lastBalloon_ = text; };
    driver_ = std::make_unique<TBatchDriver>(*runner_, *queue_, *host_, *prompter_, *dispatcher_);
    host_->OutputFolder = [this] { return driver_->OutputFolder; };
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
    try {
        driver_->ConvertFiles(folder);
    } catch (const std::exception& e) {
        prompter_->ShowError(e.what());
    }
    // The inhibitor taken when the batch started is released however it ended.
    sleepInhibitor_->Release();
    running_ = false;
    progress_ = nullptr;
}
