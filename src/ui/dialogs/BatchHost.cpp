#include "ui/dialogs/BatchHost.h"

#include "lang/MultiLanguages.h"
#include "ui/common/MessageDialogs.h"
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
