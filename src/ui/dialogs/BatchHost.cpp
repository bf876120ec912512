#include "ui/dialogs/BatchHost.h"

#include "lang/MultiLanguages.h"
#include "ui/common/DesktopNotifier.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/ShutdownWnd.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// The key of the completion notice's "Open folder" action.
const QString OpenFolderAction = QStringLiteral("open-folder");

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

void ShowBatchEndBox(QWidget* owner, const std::string& title, const std::string& text, TMsgIcon icon,
                     std::function<void()> openFolder)
{
    DialogHook::Record(TShownDialog::Of(TShownDialog::MessageBox, title, text, icon));
    // Over a minimised or hidden owner the box would stay out of sight with
    // it: then it stands on its own, with its own task-bar entry.
    const bool ownerShown = owner && owner->isVisible() && !owner->isMinimized();
    QMessageBox* box = ShowNonModalBox(ownerShown ? owner : nullptr, "dlgBatchEnd", title, text, icon);
    if (!openFolder)
        return;
    QPushButton* open = box->addButton(Q(IDS_MESSAGEBOX_OpenFolder), QMessageBox::ActionRole);
    open->setObjectName(QStringLiteral("btnOpenFolder"));
    QObject::connect(open, &QPushButton::clicked, box, [openFolder] { openFolder(); });
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
        const std::string folder = OutputFolder ? OutputFolder() : std::string();
        std::function<void()> openFolder;
        QStringList actions;
        if (!folder.empty()) {
            openFolder = [owner, folder] { OpenLocalPathOrTell(owner, folder); };
            actions << OpenFolderAction << Q(IDS_MESSAGEBOX_OpenFolder);
        }
        notifier_->Notify(
            Q(title), Q(text), IconName(icon), TDesktopNotifier::TUrgency::Normal, timeoutMs,
            [owner, title, text, icon, openFolder] { ShowBatchEndBox(owner, title, text, icon, openFolder); },
            actions, [openFolder](const QString& key) {
                if (key == OpenFolderAction && openFolder)
                    openFolder();
            });
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
    // A click on the balloon opens the folder the batch wrote into.
    QObject::disconnect(balloonClick_);
    if (const std::string folder = OutputFolder ? OutputFolder() : std::string(); !folder.empty()) {
        QPointer<QWidget> owner(owner_);
        balloonClick_ = QObject::connect(tray_, &QSystemTrayIcon::messageClicked, tray_,
                                         [owner, folder] { OpenLocalPathOrTell(owner, folder); });
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
            // A note on the whole batch has no file to name.
            if (!file.empty())
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
