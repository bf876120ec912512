#include "ui/dialogs/BatchHost.h"

#include "ui/common/QtText.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/ShutdownWnd.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

std::unique_ptr<TProgressView> TGuiBatchHost::CreateProgressView()
{
    auto form = std::make_unique<TfrmProgress>(owner_);
    form->SetTrayIcon(tray_);
    CenterOver(form.get(), owner_);
    return form;
}

void TGuiBatchHost::ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs)
{
    if (!tray_ || !TfrmProgress::TrayAvailable())
        return;
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::Information;
    if (icon == TMsgIcon::Warning)
        kind = QSystemTrayIcon::Warning;
    else if (icon == TMsgIcon::Error)
        kind = QSystemTrayIcon::Critical;
    // A balloon needs a visible icon; one shown only for it goes away with
    // it, unless the windows are hidden in the tray by then (the icon is then
    // the only way back).
    if (!tray_->isVisible()) {
        tray_->show();
        QPointer<QSystemTrayIcon> tray(tray_);
        QPointer<QWidget> owner(owner_);
        QTimer::singleShot(timeoutMs, tray_, [tray, owner] {
            if (tray && owner && owner->window()->isVisible())
                tray->hide();
        });
    }
    tray_->showMessage(Q(title), Q(text), kind, timeoutMs);
}

bool TGuiBatchHost::ShowShutdownCountdown()
{
    return TfrmShutdown::Execute(owner_);
}
