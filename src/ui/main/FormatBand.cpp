#include "ui/main/FormatBand.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <string>

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "ui/common/Artwork.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/QtText.h"
#include "ui/main/MainIcons.h"
#include "ui/main/MainParts.h"

namespace {

struct TFormatRow {
    const char* Suffix;     // object-name suffix: actAVI, cmbAVI, btnAVI / miVOB
    std::string* Caption;   // catalogue text of the button or menu item
};

// In OutputFormatKind order.
const std::array<TFormatRow, OutputFormatCount>& FormatRows()
{
    static const std::array<TFormatRow, OutputFormatCount> rows = {{
        {"AVI", &IDS_MAIN_RADIOBUTTON_ToAVI},
        {"MP4", &IDS_MAIN_RADIOBUTTON_ToMP4},
        {"3GP", &IDS_MAIN_RADIOBUTTON_To3GP},
        {"MPEG", &IDS_MAIN_RADIOBUTTON_ToMPEG},
        {"MOV", &IDS_MAIN_RADIOBUTTON_ToMOV},
        {"WMV", &IDS_MAIN_RADIOBUTTON_ToWMV},
        {"RM", &IDS_MAIN_RADIOBUTTON_ToRM},
        {"SWF", &IDS_MAIN_RADIOBUTTON_ToSWF},
        {"VOB", &IDS_MAIN_MENUITEM_ToVOB},
        {"ASF", &IDS_MAIN_MENUITEM_ToASF},
        {"AAC", &IDS_MAIN_MENUITEM_ToAAC},
        {"AC3", &IDS_MAIN_MENUITEM_ToAC3},
        {"MP2", &IDS_MAIN_MENUITEM_ToMP2},
        {"MP3", &IDS_MAIN_MENUITEM_ToMP3},
        {"AMR", &IDS_MAIN_MENUITEM_ToAMR},
        {"WAV", &IDS_MAIN_MENUITEM_ToWAV},
        {"MKV", &IDS_MAIN_MENUITEM_ToMKV},
        {"WEBM", &IDS_MAIN_MENUITEM_ToWEBM},
        {"OPUS", &IDS_MAIN_MENUITEM_ToOPUS},
        {"FLAC", &IDS_MAIN_MENUITEM_ToFLAC},
        {"M4A", &IDS_MAIN_MENUITEM_ToM4A},
        {"OGG", &IDS_MAIN_MENUITEM_ToOGG},
    }};
    return rows;
}

constexpr int MainFormatCount = 8;
// The order of the "To Others" menu: the audio formats, the older video
// formats, then the newer formats (video first).
constexpr std::array<int, OutputFormatCount - 8> OtherMenuOrder = {10, 11, 12, 13, 14, 15, 8, 9, 16, 17, 18, 19, 20, 21};
constexpr int FormatButtonMinWidth = 74;
constexpr int FormatButtonSpacing = 6;

QToolButton* NewFormatButton(QWidget* parent, const QString& name)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setProperty("formatButton", true);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setIconSize(QSize(34, 26));
    b->setFixedSize(FormatButtonMinWidth, 62); // widened to the caption by FitFormatButtons
    return b;
}

} // namespace

TFormatBand::TFormatBand(QWidget* window) : window_(window)
{
    CreateActions();
    CreateMenus();
}

void TFormatBand::CreateActions()
{
    // Profile commands; Edit has a shortcut too, so every one can be reached
    // from the keyboard.
    actEditProfile_ = NewAction(window_, "actEditProfile", QKeySequence(Qt::CTRL | Qt::Key_E));
    actAddNewProfile_ = NewAction(window_, "actAddNewProfile");
    actDeleteProfiles_ = NewAction(window_, "actDeleteProfiles");
    actRenameProfileExecute_ = NewAction(window_, "actRenameProfileExecute");
    actProfileAdditional_ = NewAction(window_, "actProfileAdditional");

    for (int f = 0; f < OutputFormatCount; ++f) {
        QAction* a = NewAction(window_, ("act" + std::string(FormatRows()[f].Suffix)).c_str());
        // The other formats show their choice as a check mark in the menu.
        a->setCheckable(f >= MainFormatCount);
        formatActions_[f] = a;
        // Alt+1 to Alt+8 choose the main formats, from anywhere in the window.
        if (f < MainFormatCount) {
            a->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + f)));
            window_->addAction(a);
        }
    }
    actOthers_ = NewAction(window_, "actOthers");
    // Alt+9 opens "To Others" as a click does.
    actShowOthers_ = NewAction(window_, "actShowOthers", QKeySequence(Qt::ALT | Qt::Key_9));
}

void TFormatBand::CreateFormatRow(QBoxLayout* body)
{
    lblConvertTo_ = NewLabel(window_, "lblConvertTo");
    lblConvertTo_->setProperty("heading", true);
    body->addWidget(lblConvertTo_);
    auto* formats = new QHBoxLayout;
    formats->setSpacing(FormatButtonSpacing);
    for (int f = 0; f < MainFormatCount; ++f) {
        QToolButton* b = NewFormatButton(window_, QStringLiteral("btn") + QString::fromLatin1(FormatRows()[f].Suffix));
        b->setDefaultAction(formatActions_[f]);
        formatActions_[f]->setIcon(FormatIcon(QString::fromLatin1(FormatRows()[f].Suffix)));
        formatButtons_[f] = b;
        formats->addWidget(b);
    }
    btnOthers_ = NewFormatButton(window_, QStringLiteral("btnOthers"));
    btnOthers_->setIcon(FormatIcon(QStringLiteral("...")));
    btnOthers_->installEventFilter(this);
    formats->addWidget(btnOthers_);
    formats->addStretch(1);
    body->addLayout(formats);
}

void TFormatBand::CreateProfileRow(QBoxLayout* body)
{
    // The label, the profile box and its commands; the chosen profile's
    // description in a second line under the box.
    auto* profileRow = new QGridLayout;
    profileRow->setVerticalSpacing(2);
    lblProFile_ = NewLabel(window_, "lblProFile");
    profileRow->addWidget(lblProFile_, 0, 0);
    stkProfiles_ = NewNamed<QStackedWidget>(window_, "stkProfiles");
    for (int f = 0; f < OutputFormatCount; ++f) {
        auto* c = new QComboBox(stkProfiles_);
        c->setObjectName(QStringLiteral("cmb") + QString::fromLatin1(FormatRows()[f].Suffix));
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        profileCombos_[f] = c;
        stkProfiles_->addWidget(c);
        connect(c, &QComboBox::currentIndexChanged, this, [this, f](int index) {
            TProfileList& list = ProfileLists[f];
            if (index >= 0 && index < static_cast<int>(list.Items.size())) {
                list.ItemIndex = index;
                // The user's choice: preselected again at the next start.
                Options.LastProfile[f] = list.Text();
            }
            ShowProfileDescription();
        });
    }
    // Shown in front when no format is chosen.
    auto* none = new QWidget(stkProfiles_);
    none->setObjectName(QStringLiteral("pnlNoProfile"));
    stkProfiles_->addWidget(none);
    stkProfiles_->setCurrentWidget(none);
    stkProfiles_->setFixedWidth(330);
    profileRow->addWidget(stkProfiles_, 0, 1);
    btnEditProfile_ = NewNamed<QPushButton>(window_, "btnEditProfile");
    profileRow->addWidget(btnEditProfile_, 0, 2);
    btnNewEdit_ = NewNamed<QToolButton>(window_, "btnNewEdit");
    btnNewEdit_->setArrowType(Qt::DownArrow);
    profileRow->addWidget(btnNewEdit_, 0, 3);
    profileRow->setColumnStretch(4, 1);
    // The chosen profile's description: one line under the profile box, as
    // wide as the row gives (never widening the window), cut at the end.
    auto* description = new TElidedLabel(window_, Qt::ElideRight);
    description->setObjectName(QStringLiteral("lblProfileDescription"));
    description->setTextFormat(Qt::PlainText);
    description->setStyleSheet(QStringLiteral("color: #4a5a70;"));
    description->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    lblProfileDescription_ = description;
    profileRow->addWidget(lblProfileDescription_, 1, 1, 1, 4);
    body->addLayout(profileRow);
    // The rows exist now: the commands can reach their controls.
    ConnectCommands();
}

void TFormatBand::CreateMenus()
{
    mnuOthers_ = NewNamed<QMenu>(window_, "mnuOthers");
    for (int f : OtherMenuOrder) {
        if (f == static_cast<int>(OutputFormatKind::MKV))
            mnuOthers_->addSeparator();
        mnuOthers_->addAction(formatActions_[f]);
        // Other formats are reached as menu items; their item name travels with the action.
        formatActions_[f]->setProperty("menuItemName", QStringLiteral("mi") + QString::fromLatin1(FormatRows()[f].Suffix));
    }

    mnuProfileAdditional_ = NewNamed<QMenu>(window_, "mnuProfileAdditional");
    mnuProfileAdditional_->addAction(actAddNewProfile_);
    mnuProfileAdditional_->addSeparator();
    mnuProfileAdditional_->addAction(actDeleteProfiles_);
    mnuProfileAdditional_->addAction(actRenameProfileExecute_);
    actAddNewProfile_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N));
    actDeleteProfiles_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    actRenameProfileExecute_->setShortcut(QKeySequence(Qt::Key_F2));
    for (QAction* a : {actAddNewProfile_, actDeleteProfiles_, actRenameProfileExecute_, actEditProfile_}) {
        a->setShortcutVisibleInContextMenu(true);
        window_->addAction(a);
    }
}

void TFormatBand::ConnectCommands()
{
    connect(btnEditProfile_, &QAbstractButton::clicked, actEditProfile_, &QAction::trigger);
    connect(btnNewEdit_, &QAbstractButton::clicked, actProfileAdditional_, &QAction::trigger);
    connect(actEditProfile_, &QAction::changed, btnEditProfile_,
            [this] { btnEditProfile_->setEnabled(actEditProfile_->isEnabled()); });
    connect(actProfileAdditional_, &QAction::changed, btnNewEdit_,
            [this] { btnNewEdit_->setEnabled(actProfileAdditional_->isEnabled()); });
    connect(actProfileAdditional_, &QAction::triggered, this, &TFormatBand::ShowProfileMenu);
    connect(actEditProfile_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Edit); });
    connect(actAddNewProfile_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Add); });
    connect(actDeleteProfiles_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Delete); });
    connect(actRenameProfileExecute_, &QAction::triggered, this,
            [this] { RunProfileCommand(TProfileCommand::Rename); });
    for (int f = 0; f < OutputFormatCount; ++f)
        connect(formatActions_[f], &QAction::triggered, this, [this, f] { SelectOutputFormat(f); });
    connect(actShowOthers_, &QAction::triggered, this, &TFormatBand::ShowOthersMenu);
}

void TFormatBand::ApplyTexts()
{
    lblProFile_->setText(MenuText(IDS_MAIN_LABEL_ProFile));
    btnEditProfile_->setText(QStringLiteral("      ") + MenuText(IDS_MAIN_ARBUTTON_EditProFile));
    lblConvertTo_->setText(MenuText(IDS_MAIN_LABEL_ConvertTo));
    for (int f = 0; f < OutputFormatCount; ++f) {
        formatActions_[f]->setText(MenuText(*FormatRows()[f].Caption));
        // The button takes its tooltip from its action.
        if (f < MainFormatCount)
            formatActions_[f]->setToolTip(
                TipWithKeys(DisplayText(*FormatRows()[f].Caption), formatActions_[f]->shortcut()));
    }
    UpdateOthersButton();
    actAddNewProfile_->setText(MenuText(IDS_MAIN_MENUITEM_Add));
    actDeleteProfiles_->setText(MenuText(IDS_MAIN_MENUITEM_DeleteFile));
    actRenameProfileExecute_->setText(MenuText(IDS_MAIN_MENUITEM_Rename));
    actEditProfile_->setText(MenuText(IDS_MAIN_ARBUTTON_EditProFile));
    btnEditProfile_->setToolTip(DisplayText(IDS_MAIN_ARBUTTON_EditProFile) + QStringLiteral(" (") +
                                actEditProfile_->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(")"));
}

int TFormatBand::FitFormatButtons()
{
    // Each button is as wide as its caption needs; "To Others" as wide as the
    // widest caption it can bear.
    auto captionWidth = [](QToolButton* b, const QString& text) {
        b->ensurePolished();
        return QFontMetrics(b->font()).horizontalAdvance(text) + 16;
    };
    int row = 0;
    for (int f = 0; f < MainFormatCount; ++f) {
        QToolButton* b = formatButtons_[f];
        const int w = std::max(FormatButtonMinWidth, captionWidth(b, formatActions_[f]->text()));
        b->setFixedWidth(w);
        row += w;
    }
    int others = std::max(FormatButtonMinWidth, captionWidth(btnOthers_, MenuText(IDS_MAIN_RADIOBUTTON_ToOthers)));
    for (int f = MainFormatCount; f < OutputFormatCount; ++f)
        others = std::max(others, captionWidth(btnOthers_, formatActions_[f]->text()));
    btnOthers_->setFixedWidth(others);
    return row + others + MainFormatCount * FormatButtonSpacing;
}

// ---------------------------------------------------------------------------
// Output format

void TFormatBand::SelectOutputFormat(int format)
{
    if (!ValidFormat(format))
        return;
    for (int f = MainFormatCount; f < OutputFormatCount; ++f)
        formatActions_[f]->setChecked(false);
    for (int f = 0; f < MainFormatCount; ++f)
        formatActions_[f]->setEnabled(true);
    actOthers_->setEnabled(true);
    if (format >= MainFormatCount) {
        formatActions_[format]->setChecked(true);
        actOthers_->setEnabled(false);
    } else {
        formatActions_[format]->setEnabled(false);
    }
    stkProfiles_->setCurrentWidget(profileCombos_[format]);
    Options.OutputFormat = static_cast<uint8_t>(format);
    UpdateOthersButton();
    ShowProfileDescription();
}

void TFormatBand::ShowProfileDescription()
{
    if (!lblProfileDescription_)
        return;
    const int format = CurrentFormat();
    std::string description;
    if (ValidFormat(format) && !ProfileLists[format].Text().empty())
        description = TIniFile(SelectedProfilePath(format)).ReadString("General", "Description", "");
    static_cast<TElidedLabel*>(lblProfileDescription_)->SetFullText(Q(description));
}

void TFormatBand::UpdateOthersButton()
{
    // While one of the other formats is chosen, "To Others" shows it as chosen
    // and bears its name; the menu still opens from it.
    const int format = CurrentFormat();
    const bool other = format >= MainFormatCount;
    btnOthers_->setText(MenuText(other ? *FormatRows()[format].Caption : IDS_MAIN_RADIOBUTTON_ToOthers));
    btnOthers_->setIcon(FormatIcon(other ? QString::fromLatin1(FormatRows()[format].Suffix) : QStringLiteral("...")));
    btnOthers_->setToolTip(TipWithKeys(DisplayText(IDS_MAIN_RADIOBUTTON_ToOthers), actShowOthers_->shortcut()));
    if (btnOthers_->property("chosen").toBool() != other) {
        btnOthers_->setProperty("chosen", other);
        btnOthers_->style()->unpolish(btnOthers_);
        btnOthers_->style()->polish(btnOthers_);
    }
}

int TFormatBand::CurrentFormat() const
{
    for (int f = 0; f < MainFormatCount; ++f)
        if (!formatActions_[f]->isEnabled())
            return f;
    for (int f = MainFormatCount; f < OutputFormatCount; ++f)
        if (formatActions_[f]->isChecked())
            return f;
    return -1;
}

bool TFormatBand::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == btnOthers_) {
        // "To Others" runs no command: the left button pops up the menu under
        // it, other buttons do nothing; keyboard activation opens it as well.
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                ShowOthersMenu();
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            return true;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down) {
                ShowOthersMenu();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void TFormatBand::ShowOthersMenu()
{
    mnuOthers_->popup(btnOthers_->mapToGlobal(QPoint(0, btnOthers_->height())));
}

// ---------------------------------------------------------------------------
// Profiles

bool TFormatBand::RebuildProfileFolders()
{
    if (!RefreshProfileLists())
        return false;
    SyncProfileCombos();
    WatchProfileFolders();
    return true;
}

void TFormatBand::WatchProfileFolders()
{
    if (!profileWatcher_) {
        profileWatcher_ = new QFileSystemWatcher(this);
        profileReload_ = new QTimer(this);
        profileReload_->setSingleShot(true);
        // A command that writes several files changes a folder several times: one reload.
        profileReload_->setInterval(150);
        connect(profileWatcher_, &QFileSystemWatcher::directoryChanged, profileReload_,
                qOverload<>(&QTimer::start));
        connect(profileReload_, &QTimer::timeout, this, &TFormatBand::ReloadProfileLists);
    }
    QStringList folders;
    for (int f = 0; f < OutputFormatCount; ++f) {
        const QString folder = Q(ProfileFolder(f));
        if (!folders.contains(folder) && QFileInfo(folder).isDir())
            folders << folder;
    }
    // The folders change with the language; a folder made anew needs a new watch.
    const QStringList watched = profileWatcher_->directories();
    for (const QString& old : watched)
        if (!folders.contains(old))
            profileWatcher_->removePath(old);
    for (const QString& folder : folders)
        if (!watched.contains(folder))
            profileWatcher_->addPath(folder);
}

void TFormatBand::ReloadProfileLists()
{
    bool changed = false;
    for (int f = 0; f < OutputFormatCount; ++f) {
        TProfileList& list = ProfileLists[f];
        const std::string mask = ProfileFolder(f) + "*." + ProfileExtension(ProfileFolderName(f));
        const std::string selected = list.Text();
        TProfileList fresh;
        FillProfileList(fresh, mask, selected);
        // The selected profile is gone: the store's choice for a fresh list.
        if (fresh.ItemIndex < 0 && !fresh.Items.empty())
            FillProfileList(fresh, mask, std::string());
        if (fresh.Items != list.Items || fresh.ItemIndex != list.ItemIndex) {
            list = fresh;
            changed = true;
        }
    }
    if (changed)
        SyncProfileCombos();
    WatchProfileFolders();
}

void TFormatBand::SyncProfileCombos()
{
    for (int f = 0; f < OutputFormatCount; ++f) {
        QComboBox* c = profileCombos_[f];
        const TProfileList& list = ProfileLists[f];
        QSignalBlocker block(c);
        c->clear();
        for (const std::string& name : list.Items)
            c->addItem(Q(name));
        c->setCurrentIndex(list.ItemIndex < static_cast<int>(list.Items.size()) ? list.ItemIndex : -1);
    }
    ShowProfileDescription();
}
