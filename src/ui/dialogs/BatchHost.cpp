#include "ui/dialogs/BatchHost.h"

#include "lang/MultiLanguages.h"
#include "ui/common/DesktopNotifier.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/ShutdownWnd.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

QString IconName(TMsgIcon icon)
{
    switch (icon) {
    case TMsgIcon::Warning: return QStringLiteral("dialog-warning");
    case TMsgIcon::Error: return QStringLiteral("dialog-error");
    default: return QStringLiteral("dialog-information");
    }
}

} // namespace

TGuiBatchHost::TGuiBatchHost(QWidget* owner, QSystemTrayIcon* tray)
    : owner_(owner), tray_(tray), notifier_(std::make_unique<TDesktopNotifier>())
{
}

TGuiBatchHost::~TGuiBatchHost() = default;

void TGuiBatchHost::SetNotificationBus(const QDBusConnection& connection)
{
    notifier_->SetConnection(connection);
}

void ShowBatchEndBox(QWidget* owner, const std::string& title, const std::string& text, TMsgIcon icon)
{
    DialogHook::Record(TShownDialog::Of(TShownDialog::MessageBox, title, text, icon));
    // Over a minimised or hidden owner the box would stay out of sight with
    // it: then it stands on its own, with its own task-bar entry.
    const bool ownerShown = owner && owner->isVisible() && !owner->isMinimized();
    ShowNonModalBox(ownerShown ? owner : nullptr, "dlgBatchEnd", title, text, icon);
}

std::unique_ptr<TProgressView> TGuiBatchHost::CreateProgressView()
{
    auto form = std::make_unique<TfrmProgress>(owner_);
    form->SetTrayIcon(tray_);
    CenterOver(form.get(), owner_);
    return form;
}

void TGuiBatchHost::ShowTrayBalloon(const std::string& title, const std::string& text, TMsgIcon icon, int timeoutMs)
{
    if (!tray_ || !TfrmProgress::TrayAvailable()) {
        // No notification area: the desktop's notification service, else a box.
        QPointer<QWidget> owner(owner_);
        notifier_->Notify(Q(title), Q(text), IconName(icon), TDesktopNotifier::TUrgency::Normal, timeoutMs,
                          [owner, title, text, icon] { ShowBatchEndBox(owner, title, text, icon); });
        return;
    }
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

void TGuiBatchHost::AnnounceBatchErrors(const std::string& title, const std::string& text)
{
    if (tray_ && TfrmProgress::TrayAvailable())
        return;
    // The message box of the batch follows, so nothing more when nobody shows this.
    notifier_->Notify(Q(title), Q(text), IconName(TMsgIcon::Warning), TDesktopNotifier::TUrgency::Normal, 0, {});
}

bool TGuiBatchHost::ShowShutdownCountdown()
{
    return TfrmShutdown::Execute(owner_);
}

std::string BatchNotesText(const std::vector<TFileNote>& notes, size_t maxLines)
{
    std::string text = IDS_MESSAGEBOX_Notes + "\r\n";
    std::string file;
    size_t shown = 0;
    for (const TFileNote& note : notes) {
        if (shown == maxLines) {
            text += "\r\n(+" + std::to_string(notes.size() - shown) + ")";
            break;
        }
        if (shown == 0 || note.File != file) {
            file = note.File;
            const size_t slash = file.find_last_of('/');
            text += "\r\n" + (slash == std::string::npos ? file : file.substr(slash + 1)) + ":\r\n";
        }
        text += "  - " + note.Text + "\r\n";
        ++shown;
    }
    return text;
}

void TGuiBatchHost::ShowBatchNotes(const std::vector<TFileNote>& notes)
{
    ShowNoticeWindow(owner_, BatchNotesText(notes), IDS_MESSAGEBOX_NotesTitle);
}
