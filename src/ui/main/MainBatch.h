#pragma once

// The main window's side of a batch: its file list as the queue, and the
// batch windows, tray balloon and sleep inhibitor over the main window.

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

#include "engine/BatchDriver.h"
#include "ui/dialogs/BatchHost.h"

class QSystemTrayIcon;
class QWidget;
class TFileListPanel;
class TQtDispatcher;
class TQtPrompter;
class TRedirector;
class TSleepInhibitor;

// The file list as the batch's queue.
class TMainFileQueue : public TFileQueue {
public:
    explicit TMainFileQueue(TFileListPanel& list) : list_(list) {}
    int Count() const override;
    std::string FullName(int index) const override;
    std::string SizeText(int index) const override;
    void RemoveFileByPath(const std::string& path) override;
    void MoveFileToEnd(const std::string& path) override;
    void RecordFailure(const std::string& path, const std::string& reason) override;
    void MarkAllFailed() override;
    TSourcePlace SourcePlace(int index) const override;

private:
    TFileListPanel& list_;
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

    // Runs while a batch is running, once the progress window exists.
    std::function<void(QWidget* progress)> StartedHook;

signals:
    // The progress window's check boxes changed the options armed for after the batch.
    void ArmedOptionsChanged();

private:
    void ProgressShown(QWidget* progress);

    bool running_ = false;
    QPointer<QWidget> progress_;
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
