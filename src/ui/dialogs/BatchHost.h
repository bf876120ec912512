#pragma once

// What a GUI batch needs of the windows: the progress window, the tray
// balloon and the shutdown countdown, all over the main window.

#include "engine/BatchDriver.h"

class QSystemTrayIcon;
class QWidget;

// The text of the notes window: the heading, then each file's name and its
// notes; at most MaxLines notes, the rest counted.
std::string BatchNotesText(const std::vector<TFileNote>& notes, size_t maxLines = 30);

class TGuiBatchHost : public TBatchHost {
public:
    TGuiBatchHost(QWidget* owner, QSystemTrayIcon* tray) : owner_(owner), tray_(tray) {}

    std::unique_ptr<TProgressView> CreateProgressView() override;
    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs) override;
    bool ShowShutdownCountdown() override;
    // One window with every note of the batch, grouped by file.
    void ShowBatchNotes(const std::vector<TFileNote>& notes) override;

private:
    QWidget* owner_;
    QSystemTrayIcon* tray_;
};
