#pragma once

// The main window's side of a batch: its file list as the queue, and the
// batch windows, tray balloon and sleep inhibitor over the main window.

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/BatchDriver.h"
#include "ui/dialogs/BatchHost.h"

class QSystemTrayIcon;
class QTimer;
class QWidget;
class TFileListPanel;
class TQtDispatcher;
class TQtPrompter;
class TRedirector;
class TSleepInhibitor;
class TQueueStore;

// The file list as the batch's queue: the files still to convert, in list
// order. A converted file leaves the queue but stays listed as converted;
// each file's state change is stored.
class TMainFileQueue : public TFileQueue {
public:
    explicit TMainFileQueue(TFileListPanel& list) : list_(list) {}
    int Count() const override;
    std::string FullName(int index) const override;
    std::string SizeText(int index) const override;
    // The file was converted.
    void RemoveFileByPath(const std::string& path) override;
    void MoveFileToEnd(const std::string& path) override;
    void RecordFailure(const std::string& path, const std::string& reason) override;
    void MarkAllFailed() override;
    void FileStarted(const std::string& path, const std::string& output) override;
    void RecordConverted(const std::string& path, const std::string& output,
                         const std::vector<std::string>& notes) override;

    // The output a source is converted to (the batch's); unset: none shown.
    std::function<std::string(const std::string& source)> OutputNameOf;

    // The stored list, null for none.
    TQueueStore* Store = nullptr;
    // The settings the batch records when its first file starts.
    std::function<std::map<std::string, std::string>()> BatchSettings;
    // A new batch: its record is made when its first file starts.
    void BeginBatch() { batchId_ = 0; }
    // The batch has returned: its record is closed; the files it was
    // converting when stopped are stopped, any other still converting is
    // waiting again (listed and stored).
    void EndBatch(const std::vector<std::string>& stopped);
    TSourcePlace SourcePlace(int index) const override;
    void RecordSkipped(const std::string& path, const std::string& reason) override;

private:
    TFileListPanel& list_;
    int64_t batchId_ = 0;
    std::vector<std::pair<std::string, std::string>> skipped_; // path, reason
};

// The batch's windows over the main window; the machine stays awake while a
// batch runs. What the main window learns is reported through the two hooks.
class TMainBatchHost : public TGuiBatchHost {
public:
    TMainBatchHost(QWidget* owner, QSystemTrayIcon* tray, TSleepInhibitor& inhibitor)
        : TGuiBatchHost(owner, tray), inhibitor_(inhibitor)
    {
    }

    std::unique_ptr<TProgressView> CreateProgressView() override;
    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs) override;
    void InhibitSleep(bool inhibit) override;

    // The progress window of a batch that has just started.
    std::function<void(QWidget* progress)> ProgressShown;
    // The text of a tray balloon.
    std::function<void(const std::string& text)> BalloonShown;

private:
    TSleepInhibitor& inhibitor_;
};

// A batch over the main window's file list, with the machinery it runs on.
class TMainBatch : public QObject {
    Q_OBJECT

public:
    TMainBatch(QWidget* window, QSystemTrayIcon* tray, TFileListPanel& list);
    ~TMainBatch() override;

    // Runs a batch of the whole list into Folder; returns when it is over.
    void Convert(const std::string& folder);
    bool Running() const { return running_; }
    // The progress window while a batch runs.
    QWidget* Progress() const { return progress_; }
    // The text of the last tray balloon of a batch (also when no tray exists).
    const std::string& LastBalloon() const { return lastBalloon_; }
    TBatchDriver& Driver() { return *driver_; }
    TMainFileQueue& Queue() { return *queue_; }

    // Runs while a batch is running, once the progress window exists.
    std::function<void(QWidget* progress)> StartedHook;

signals:
    // The progress window's check boxes changed the options armed for after the batch.
    void ArmedOptionsChanged();

private:
    void ProgressShown(QWidget* progress);

    // Shows the converting files' percentages on their rows.
    void ShowFilePercents();

    bool running_ = false;
    QPointer<QWidget> progress_;
    QTimer* percentTimer_ = nullptr;
    TFileListPanel& list_;
    std::string lastBalloon_;
    // The driver goes first, the runner (which ends a child still running)
    // before the dispatcher.
    std::unique_ptr<TSleepInhibitor> sleepInhibitor_;
    std::unique_ptr<TQtDispatcher> dispatcher_;
    std::unique_ptr<TRedirector> runner_;
    std::unique_ptr<TQtPrompter> prompter_;
    std::unique_ptr<TMainFileQueue> queue_;
    std::unique_ptr<TMainBatchHost> host_;
    std::unique_ptr<TBatchDriver> driver_;
};
