#pragma once

// What a GUI batch needs of the windows: the progress window, the tray
// balloon and the shutdown countdown, all over the main window.

#include "engine/BatchDriver.h"

#include <QMetaObject>

#include <functional>
#include <memory>
#include <string>

class QDBusConnection;
class QSystemTrayIcon;
class TDesktopNotifier;
class QWidget;

// The text of the notes window: the heading, then each file's name and its
// notes; at most MaxLines notes, the rest counted.
std::string BatchNotesText(const std::vector<TFileNote>& notes, size_t maxLines = 30);

class TGuiBatchHost : public TBatchHost {
public:
    TGuiBatchHost(QWidget* owner, QSystemTrayIcon* tray);
    ~TGuiBatchHost() override;

    std::unique_ptr<TProgressView> CreateProgressView() override;
    // The balloon where a notification area exists; otherwise a message of
    // the desktop's notification service, or, when none shows it, a message
    // box that does not wait for the user.
    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs) override;
    // Without a notification area: a message of the notification service
    // (the batch's own message box follows).
    void AnnounceBatchErrors(const std::string& title, const std::string& text) override;
    bool ShowShutdownCountdown() override;
    // One window with every note of the batch, grouped by file.
    void ShowBatchNotes(const std::vector<TFileNote>& notes) override;

    // The desktop messages go over this connection instead of the session bus.
    void SetNotificationBus(const QDBusConnection& connection);
    TDesktopNotifier& Notifier() { return *notifier_; }
    // The folder the batch wrote into; the completion notice offers to open it.
    std::function<std::string()> OutputFolder;

private:
    QWidget* owner_;
    QSystemTrayIcon* tray_;
    std::unique_ptr<TDesktopNotifier> notifier_;
    QMetaObject::Connection balloonClick_;
};

// A message box over Owner that does not wait: the program goes on at once
// (an after-batch countdown runs while it is open). A minimised or hidden
// owner leaves it standing on its own. Named "dlgBatchEnd"; recorded for
// tests like every other message box.
// With OpenFolder, the box has an "Open folder" button (named "btnOpenFolder")
// that runs it.
void ShowBatchEndBox(QWidget* owner, const std::string& title, const std::string& text, TMsgIcon icon,
                     std::function<void()> openFolder = {});
