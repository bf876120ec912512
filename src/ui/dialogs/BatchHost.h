#pragma once

// What a GUI batch needs of the windows: the progress window, the tray
// balloon and the shutdown countdown, all over the main window.

#include "engine/BatchDriver.h"

class QSystemTrayIcon;
class QWidget;

class TGuiBatchHost : public TBatchHost {
public:
    TGuiBatchHost(QWidget* owner, QSystemTrayIcon* tray) : owner_(owner), tray_(tray) {}

    std::unique_ptr<TProgressView> CreateProgressView() override;
    void ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs) override;
    bool ShowShutdownCountdown() override;

private:
    QWidget* owner_;
    QSystemTrayIcon* tray_;
};
