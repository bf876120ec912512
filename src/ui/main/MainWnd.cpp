#include "ui/main/MainWnd.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include <sys/stat.h>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "engine/QueueStore.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "ui/common/Artwork.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/main/FileListItem.h"
#include "ui/main/MainBatch.h"
#include "ui/main/MainIcons.h"
#include "ui/main/MainParts.h"

namespace {

constexpr int WindowWidth = 740;
constexpr int WindowHeight = 560;
constexpr int BodyMargin = 12;

// Set on the window's client panel, not on the window: the dialogs the window
// owns are its children too, and must not take these rules.
const char* const WindowStyle = R"(
QWidget#pnlClient { background: #f3f5f9; }
QFrame#pnlHeader { background: #24364f; }
QFrame#pnlHeader QLabel#lblTitle { color: white; font-size: 15pt; font-weight: bold; }
QFrame#pnlHeader QToolButton { color: white; border: none; padding: 3px; }
QFrame#pnlHeader QToolButton:hover { background: #3a5172; border-radius: 3px; }
QToolButton[formatButton="true"] {
  background: white; border: 1px solid #b9c4d4; border-radius: 6px;
  padding: 2px; font-weight: bold; color: #24364f;
}
QToolButton[formatButton="true"]:hover { background: #e7eefa; border-color: #5f86c4; }
QToolButton[formatButton="true"]:focus { border: 2px solid #e08a00; padding: 1px; }
QFrame#pnlHeader QToolButton:focus { border: 2px solid #f5b041; border-radius: 3px; padding: 1px; }
QToolButton[formatButton="true"]:disabled, QToolButton[formatButton="true"][chosen="true"] {
  background: #2f6fd0; border-color: #1f55a6; color: white;
}
QFrame#pnlMediaInfo { background: white; border: 1px solid #c9d1dd; border-radius: 4px; }
QFrame#pnlMediaInfo QLabel { font-size: 8pt; }
QLabel[heading="true"] { font-weight: bold; color: #24364f; }
QPushButton#btnConvert { font-size: 12pt; font-weight: bold; padding: 6px 22px; }
#pnlClient > QLabel#lblStatus { color: #3a4a60; }
QLabel#lblArmed {
  background: #fff1dc; color: #8a2d00; border: 1px solid #e3a25c;
  border-radius: 3px; padding: 3px 6px;
}
)";


} // namespace

// ---------------------------------------------------------------------------
// Creation

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    queueStore_ = std::make_unique<TQueueStore>();
    menus_ = std::make_unique<TMainMenus>(this);
    formatBand_ = std::make_unique<TFormatBand>(this);
    CreateControls();
    CreateTray();
    ConnectCommands();

    QLocale::setDefault(QLocale::c()); // numbers always with "."
    batch_ = std::make_unique<TMainBatch>(this, trayIcon_, *fileList_);
    ConnectParts();
    try {
        LoadOptions();
    } catch (const std::exception& e) {
        // options.ini could not be written: go on with the defaults.
        ShowMessageBox(this, e.what(), IDS_MESSAGEBOX_Error, TMsgIcon::Error);
    }
    if (!ConfigFileProblem.empty())
        ShowMessageBox(this, FormatText(IDS_MESSAGEBOX_ConfigFileRefused, {ConfigFile, ConfigFileProblem}),
                       ApplicationTitle, TMsgIcon::Warning);
    if (!OptionsFileProblem.empty())
        ShowMessageBox(this, FormatText(IDS_MESSAGEBOX_OptionsFileRefused, {OptionsFile, OptionsFileProblem}),
                       ApplicationTitle, TMsgIcon::Warning);
    if (Options.OutputFormat < OutputFormatCount)
        formatBand_->SelectOutputFormat(Options.OutputFormat);
    fileList_->SetColumnWidths(Options.ListColumns);
    txtOutputDir_->setText(Q(Options.LastOutputOpenDir));
    BuildLanguageMenu();
    ApplyTexts();
    if (!RebuildProfileFolders()) {
        startedOk_ = false;
        return;
    }
    QApplication::setApplicationDisplayName(Q(ApplicationTitle));
    lblTitle_->setText(Q(ApplicationTitle));
    setWindowTitle(Q(ApplicationTitle));
    setAcceptDrops(true);
    OpenStoredQueue();
}

void TfrmMain::OpenStoredQueue()
{
    switch (queueStore_->Open(QueueFile)) {
    case TQueueStore::TOpenResult::Opened: break;
    case TQueueStore::TOpenResult::MovedAside:
        ShowMessageBox(this, FormatText(IDS_QUEUE_MovedAside, {QueueFile, queueStore_->Detail(), queueStore_->MovedTo()}),
                       ApplicationTitle, TMsgIcon::Warning);
        break;
    case TQueueStore::TOpenResult::InMemory:
        // No file named: a list for this run only, chosen so (--list-and-exit).
        if (!QueueFile.empty())
            ShowMessageBox(this, FormatText(IDS_QUEUE_NotStored, {QueueFile, queueStore_->Detail()}),
                           ApplicationTitle, TMsgIcon::Warning);
        break;
    case TQueueStore::TOpenResult::Locked:
        ShowMessageBox(this, FormatText(IDS_QUEUE_InUse, {QueueFile}), ApplicationTitle, TMsgIcon::Warning);
        break;
    }
    queueStore_->SettleInterrupted();
    fileList_->SetStore(queueStore_.get());
    TMainFileQueue& queue = batch_->Queue();
    queue.Store = queueStore_.get();
    queue.BatchSettings = [this] { return BatchSettings(); };
    const std::vector<std::string> lost = fileList_->RestoreStored();
    for (const std::string& path : lost)
        std::fprintf(stderr, "quorvex: \"%s\" of the stored list is gone or cannot be read; it was left out.\n",
                     path.c_str());
}

std::map<std::string, std::string> TfrmMain::BatchSettings() const
{
    const int format = CurrentFormat();
    std::map<std::string, std::string> settings;
    settings[TBatchRecord::FormatKey] = std::to_string(format);
    if (ValidFormat(format)) {
        settings[TBatchRecord::ProfileKey] = ProfileLists[format].Text();
        settings[TBatchRecord::ProfileFileKey] = SelectedProfilePath(format);
    }
    settings[TBatchRecord::OutputFolderKey] = S(txtOutputDir_->text());
    return settings;
}

namespace {

// The format names the format buttons show, in OutputFormatKind order.
const char* const FormatNames[OutputFormatCount] = {"AVI", "MP4", "3GP", "MPEG", "MOV", "WMV", "RM", "SWF",
                                                    "VOB", "ASF", "AAC", "AC3", "MP2", "MP3", "AMR", "WAV"};

} // namespace

bool TfrmMain::ResumeInterruptedBatch()
{
    const std::optional<TBatchRecord> batch = queueStore_->LastBatch();
    if (!batch || batch->Ended)
        return false;
    int open = 0;
    for (const TQueueEntry& e : queueStore_->Entries())
        if (e.Batch == batch->Id && (e.State == TFileState::Waiting || e.State == TFileState::Stopped))
            ++open;
    // Asked once: whatever the answer, the record is closed.
    queueStore_->EndBatch(batch->Id);
    if (open == 0)
        return false;
    const std::string formatText = batch->Setting(TBatchRecord::FormatKey);
    const int format = formatText.empty() ? -1 : std::atoi(formatText.c_str());
    const std::string profile = batch->Setting(TBatchRecord::ProfileKey);
    const std::string folder = batch->Setting(TBatchRecord::OutputFolderKey);
    std::string text = FormatText(IDS_QUEUE_ContinueBatch,
                                  {open, ValidFormat(format) ? FormatNames[format] : "-", profile, folder});
    bool profileThere = false;
    if (ValidFormat(format) && !profile.empty()) {
        const std::string file = ProfileFilePath(format, profile);
        struct stat st {};
        profileThere = ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (!profileThere)
            text += "\r\n\r\n" + FormatText(IDS_QUEUE_ProfileDeleted, {profile});
        else if (static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec > batch->StartedNs)
            text += "\r\n\r\n" + FormatText(IDS_QUEUE_ProfileEdited, {profile});
    }
    if (ShowMessageBox(this, text, IDS_QUEUE_ContinueTitle, TMsgIcon::Confirmation, TMsgBoxButtons::YesNo) != mrYes)
        return false;
    if (ValidFormat(format)) {
        SelectOutputFormat(format);
        TProfileList& list = ProfileLists[format];
        if (const int index = FindProfileName(list, profile); profileThere && index >= 0) {
            list.ItemIndex = index;
            Options.LastProfile[format] = list.Text();
            formatBand_->SyncProfileCombos();
        }
    }
    txtOutputDir_->setText(Q(folder));
    ConvertFiles();
    return true;
}

// The parts go before the widgets they use: the batch first, the menus last.
TfrmMain::~TfrmMain() = default;

void TfrmMain::CreateControls()
{
    // Everything lies on one client panel that carries the window's style sheet.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pnlClient_ = NewNamed<QWidget>(this, "pnlClient");
    pnlClient_->setAttribute(Qt::WA_StyledBackground, true);
    pnlClient_->setStyleSheet(QString::fromLatin1(WindowStyle));
    outer->addWidget(pnlClient_);
    auto* root = new QVBoxLayout(pnlClient_);
    root->setContentsMargins(0, 0, 0, 8);
    root->setSpacing(6);
    CreateHeader(root);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(BodyMargin, 0, BodyMargin, 0);
    body->setSpacing(6);
    root->addLayout(body, 1);

    formatBand_->CreateFormatRow(body);
    CreateListTools(body);
    fileList_ = std::make_unique<TFileListPanel>(this);
    body->addLayout(fileList_->Row(), 1);
    formatBand_->CreateProfileRow(body);
    CreateOutputRows(body);

    setWindowIcon(AppIcon());
    setMinimumSize(WindowWidth, WindowHeight);
    resize(WindowWidth, WindowHeight);
}

void TfrmMain::CreateHeader(QBoxLayout* root)
{
    // Title band with the help button. The window manager draws the window's
    // title bar with its minimise and close buttons; the band is a header only.
    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("pnlHeader"));
    header->setFixedHeight(42);
    auto* hl = new QHBoxLayout(header);
    hl->setContentsMargins(14, 4, 8, 4);
    lblTitle_ = NewLabel(header, "lblTitle");
    hl->addWidget(lblTitle_);
    hl->addStretch(1);
    btnHelp_ = NewToolButton(header, "btnHelp", GlyphIcon(TGlyph::Help, Qt::white));
    btnHelp_->setIconSize(QSize(18, 18));
    hl->addWidget(btnHelp_);
    root->addWidget(header);
}

void TfrmMain::CreateListTools(QBoxLayout* body)
{
    auto* tools = new QHBoxLayout;
    tools->setSpacing(2);
    btnOpen_ = NewNamed<QPushButton>(this, "btnOpen");
    btnOpen_->setIcon(GlyphIcon(TGlyph::Open, QColor(0x2f, 0x6f, 0xd0)));
    tools->addWidget(btnOpen_);
    tools->addSpacing(8);
    const QColor toolColor(0x34, 0x48, 0x66);
    btnAddFile_ = NewToolButton(this, "btnAddFile", GlyphIcon(TGlyph::Add, toolColor));
    btnDeleteFile_ = NewToolButton(this, "btnDeleteFile", GlyphIcon(TGlyph::Remove, toolColor));
    btnClearList_ = NewToolButton(this, "btnClearList", GlyphIcon(TGlyph::Clear, toolColor));
    btnMoveUp_ = NewToolButton(this, "btnMoveUp", GlyphIcon(TGlyph::Up, toolColor));
    btnMoveDown_ = NewToolButton(this, "btnMoveDown", GlyphIcon(TGlyph::Down, toolColor));
    btnClearFinished_ = NewToolButton(this, "btnClearFinished", FileListIcon(2));
    for (QToolButton* b : {btnAddFile_, btnDeleteFile_, btnClearList_, btnMoveUp_, btnMoveDown_, btnClearFinished_}) {
        b->setIconSize(QSize(18, 18));
        tools->addWidget(b);
    }
    tools->addStretch(1);
    body->addLayout(tools);
}

void TfrmMain::CreateOutputRows(QBoxLayout* body)
{
    // Output folder.
    auto* outRow = new QHBoxLayout;
    lblOutputDir_ = NewLabel(this, "lblOutputDir");
    outRow->addWidget(lblOutputDir_);
    txtOutputDir_ = NewNamed<QLineEdit>(this, "txtOutputDir");
    outRow->addWidget(txtOutputDir_, 1);
    btnOutputDir_ = NewNamed<QPushButton>(this, "btnOutputDir");
    outRow->addWidget(btnOutputDir_);
    body->addLayout(outRow);
    // Ctrl+L: type or paste a folder, as in a file manager's location bar.
    QAction* toOutputDir = NewAction(this, "actOutputDirFocus", QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(toOutputDir, &QAction::triggered, this, [this] {
        txtOutputDir_->setFocus(Qt::ShortcutFocusReason);
        txtOutputDir_->selectAll();
    });

    // What the stored options will do after the next batch, while any is armed.
    lblArmed_ = NewLabel(this, "lblArmed");
    lblArmed_->setWordWrap(true);
    lblArmed_->setVisible(false);
    btnDisarm_ = NewNamed<QPushButton>(this, "btnDisarm");
    btnDisarm_->setVisible(false);
    connect(btnDisarm_, &QPushButton::clicked, this, [this] {
        Options.DeleteFileAfterProcessing = false;
        Options.ShutdownWindowsWhenDone = false;
        UpdateArmedLine();
    });
    auto* armedRow = new QHBoxLayout;
    armedRow->addWidget(lblArmed_, 1);
    armedRow->addWidget(btnDisarm_, 0, Qt::AlignTop);
    body->addLayout(armedRow);

    // Summary and Convert.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fileList_->Summary(), 1);
    btnConvert_ = NewNamed<QPushButton>(this, "btnConvert");
    btnConvert_->setIcon(GlyphIcon(TGlyph::Convert, QColor(0x2f, 0x6f, 0xd0)));
    btnConvert_->setIconSize(QSize(20, 20));
    btnConvert_->setDefault(true);
    bottom->addWidget(btnConvert_);
    body->addLayout(bottom);
}



void TfrmMain::CreateTray()
{
    trayIcon_ = new QSystemTrayIcon(AppIcon(), this);
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    trayIcon_->setContextMenu(menus_->mnuTray);

    connect(menus_->mnuTray, &QMenu::aboutToShow, this, [this] {
        menus_->miTrayExit->setText(MenuText(BatchRunning() ? IDS_MAIN_MENUITEM_StopEncoding : IDS_MAIN_MENUITEM_ExitProgram));
    });
    connect(menus_->miTrayShowWindow, &QAction::triggered, this, &TfrmMain::RestoreFromTray);
    connect(menus_->miTrayExit, &QAction::triggered, this, &TfrmMain::TrayExit);
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Many Linux notification areas report a single click only.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            RestoreFromTray();
    });
}

void TfrmMain::ConnectCommands()
{
    auto bind = [](QAbstractButton* b, QAction* a) {
        QObject::connect(b, &QAbstractButton::clicked, a, &QAction::trigger);
    };
    bind(btnOpen_, menus_->actOpen);
    bind(btnAddFile_, menus_->actAdd);
    bind(btnDeleteFile_, menus_->actDelete);
    bind(btnClearList_, menus_->actClearList);
    bind(btnMoveUp_, menus_->actMoveUp);
    bind(btnMoveDown_, menus_->actMoveDown);
    bind(btnClearFinished_, menus_->actClearFinished);
    bind(btnOutputDir_, menus_->actBrowse);
    bind(btnConvert_, menus_->actConvert);
    bind(btnHelp_, menus_->actHelp);

    TFileListPanel* list = fileList_.get();
    connect(menus_->actOpen, &QAction::triggered, list, [list] { list->OpenFilesDialog(true); });
    connect(menus_->actAdd, &QAction::triggered, list, [list] { list->OpenFilesDialog(false); });
    connect(menus_->actAddFolder, &QAction::triggered, list, &TFileListPanel::OpenFolderDialog);
    list->OutputFolder = [this] { return S(txtOutputDir_->text().trimmed()); };
    list->OutputNameOf = [this](const std::string& source, const TSourcePlace& place) {
        return batch_ ? batch_->Driver().PreviewOutputName(S(txtOutputDir_->text()), source, place) : std::string();
    };
    connect(menus_->actDelete, &QAction::triggered, list, &TFileListPanel::DeleteSelected);
    connect(menus_->actClearList, &QAction::triggered, list, &TFileListPanel::ClearFileList);
    connect(menus_->actClearFinished, &QAction::triggered, list, &TFileListPanel::ClearFinished);
    connect(menus_->actPlayOutput, &QAction::triggered, this, &TfrmMain::PlayOutput);
    connect(menus_->actOpenOutputFolder, &QAction::triggered, this, &TfrmMain::OpenOutputFolder);
    connect(menus_->actSelectAll, &QAction::triggered, list, &TFileListPanel::SelectAll);
    connect(menus_->actMoveUp, &QAction::triggered, list, [list] { list->MoveListItem(true); });
    connect(menus_->actMoveDown, &QAction::triggered, list, [list] { list->MoveListItem(false); });
    connect(menus_->actPlaySource, &QAction::triggered, this, &TfrmMain::PlaySource);
    connect(menus_->actOpenDestinationFolder, &QAction::triggered, this, &TfrmMain::OpenDestinationFolder);
    connect(menus_->actBrowse, &QAction::triggered, this, &TfrmMain::Browse);
    connect(menus_->actSettingsExecute, &QAction::triggered, this, &TfrmMain::ShowSettings);
    connect(menus_->actHelp, &QAction::triggered, this, &TfrmMain::ShowHelpMenu);
    connect(menus_->actHelpContent, &QAction::triggered, this, &TfrmMain::HelpContent);
    // No web page is configured: "Online Resources" opens the help page shipped with the program.
    connect(menus_->actOnlineResources, &QAction::triggered, this, &TfrmMain::HelpContent);
    connect(menus_->actTechnicalSupport, &QAction::triggered, this, [] { OpenTechnicalSupport(); });
    connect(menus_->actAbout, &QAction::triggered, this, &TfrmMain::ShowAbout);
    connect(menus_->actMin, &QAction::triggered, this, &QWidget::showMinimized);
    connect(menus_->actExit, &QAction::triggered, this, &TfrmMain::Exit);
    connect(menus_->actConvert, &QAction::triggered, this, &TfrmMain::ConvertFiles);
    connect(menus_->actMore, &QAction::triggered, this, &TfrmMain::ShowMoreInformation);
}

void TfrmMain::ConnectParts()
{
    connect(fileList_.get(), &TFileListPanel::ContextMenuRequested, this, &TfrmMain::ShowListMenu);
    connect(fileList_.get(), &TFileListPanel::PlayRequested, menus_->actPlaySource, &QAction::trigger);
    connect(fileList_.get(), &TFileListPanel::MoreInformationRequested, menus_->actMore, &QAction::trigger);
    connect(batch_.get(), &TMainBatch::ArmedOptionsChanged, this, &TfrmMain::UpdateArmedLine);
    batch_->StartedHook = [this](QWidget* progress) {
        if (BatchStartedHook)
            BatchStartedHook(progress);
    };
}

// ---------------------------------------------------------------------------
// Texts and languages

void TfrmMain::BuildLanguageMenu()
{
    menus_->mniLanguages->clear();
    languages_ = std::make_unique<TKestMultiLanguages>(LanguagesFolder, "LanguageName", "DazadUVI_Convert");
    const std::string current = QFileInfo(Q(LanguageFilePath)).fileName().toStdString();
    for (int i = 0; i < languages_->LanguageCount(); ++i) {
        const std::string name = languages_->LanguageDisplayName(i);
        QAction* item = menus_->mniLanguages->addAction(MenuText(name));
        item->setObjectName(QStringLiteral("miLanguage%1").arg(i));
        item->setCheckable(true);
        item->setData(Q(name));
        connect(item, &QAction::triggered, this, [this, item] { ChooseLanguage(item); });
        // The language in use is ticked by its file: a display name such as
        // "Deutsch" need not match the file name "German.ini".
        const std::string file = QFileInfo(Q(languages_->LanguagePath(i))).fileName().toStdString();
        if (SameTextAscii(name + ".ini", current) || SameTextAscii(file, current)) {
            item->setChecked(true);
            languages_->SetItemIndex(i);
        }
    }
}

void TfrmMain::ChooseLanguage(QAction* item)
{
    const std::string chosen = S(item->data().toString());
    const QList<QAction*> items = menus_->mniLanguages->actions();
    for (QAction* a : items)
        a->setChecked(false);
    for (int i = 0; i < languages_->LanguageCount(); ++i)
        if (SameTextAscii(languages_->LanguageDisplayName(i), chosen))
            languages_->SetItemIndex(i);
    item->setChecked(true);
    if (languages_->LanguageCount() > 0)
        LanguageFilePath = languages_->LanguagePath(languages_->ItemIndex());

    try {
        TIniFile config(ConfigFile);
        config.WriteString("DazadUVI_Form", "LanguageFile", S(QFileInfo(Q(LanguageFilePath)).fileName()));
        config.UpdateFile();
    } catch (const std::exception& e) {
        // The choice still applies to this run; the next start keeps the old language.
        ShowMessageBox(this, e.what(), IDS_MESSAGEBOX_Error, TMsgIcon::Error);
    }

    if (!LoadLanguage()) {
        Quit(1);
        return;
    }
    ApplyTexts();
    if (!RebuildProfileFolders())
        Quit(1);
}

std::string ArmedActionsText(const TOptions& options)
{
    std::vector<std::string> parts;
    if (options.DeleteFileAfterProcessing)
        parts.push_back(IDS_MAIN_LABEL_ArmedDelete);
    if (options.ShutdownWindowsWhenDone) {
        // The positions of the settings window's list; any other value does nothing.
        switch (options.ShutdownFlag) {
        case 0: parts.push_back(FormatText(IDS_MAIN_LABEL_ArmedClose, {ApplicationTitle})); break;
        case 1: parts.push_back(IDS_MAIN_LABEL_ArmedShutDown); break;
        case 2: parts.push_back(IDS_MAIN_LABEL_ArmedLogOff); break;
        case 3: parts.push_back(IDS_MAIN_LABEL_ArmedRestart); break;
        case 4: parts.push_back(IDS_MAIN_LABEL_ArmedHibernate); break;
        case 5: parts.push_back(IDS_MAIN_LABEL_ArmedSuspend); break;
        default: break;
        }
    }
    if (parts.empty())
        return {};
    std::string text = IDS_MAIN_LABEL_ArmedPrefix;
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? " " : "; ") + parts[i];
    return text;
}

void TfrmMain::UpdateArmedLine()
{
    const std::string text = ArmedActionsText(Options);
    lblArmed_->setText(DisplayText(text));
    lblArmed_->setVisible(!text.empty());
    btnDisarm_->setVisible(!text.empty());
}

void TfrmMain::ApplyTexts()
{
    btnOpen_->setText(MenuText(IDS_MAIN_BUTTON_Open));
    lblOutputDir_->setText(MenuText(IDS_MAIN_ARBUTTON_OutputDir));
    btnOutputDir_->setText(MenuText(IDS_MAIN_ARBUTTON_Browse));
    btnConvert_->setText(MenuText(IDS_MAIN_ARBUTTON_Convert));
    btnDisarm_->setText(MenuText(IDS_MAIN_BUTTON_Disarm));
    btnDisarm_->setToolTip(Q(IDS_MAIN_HINT_Disarm));
    formatBand_->ApplyTexts();
    FitFormatButtons();

    menus_->ApplyTexts();
    // Tool tips of the picture buttons.
    const std::pair<QAbstractButton*, const std::string*> tips[] = {
        {btnAddFile_, &IDS_MAIN_MENUITEM_AddFiles},   {btnDeleteFile_, &IDS_MAIN_MENUITEM_Delete},
        {btnClearList_, &IDS_MAIN_MENUITEM_ClearList}, {btnMoveUp_, &IDS_MAIN_HINT_MoveUp},
        {btnMoveDown_, &IDS_MAIN_HINT_MoveDown},       {btnHelp_, &IDS_MAIN_MENUITEM_HelpContent},
        {btnClearFinished_, &IDS_MAIN_MENUITEM_ClearFinished},
        {btnOpen_, &IDS_MAIN_HINT_SelectFile},
    };
    for (const auto& [button, text] : tips)
        button->setToolTip(DisplayText(*text));
    btnConvert_->setToolTip(TipWithKeys(DisplayText(IDS_MAIN_ARBUTTON_Convert), menus_->actConvert->shortcut()));
    // The label's text without its colon names the box.
    const QString outputDir = DisplayText(IDS_MAIN_ARBUTTON_OutputDir).trimmed();
    txtOutputDir_->setToolTip(TipWithKeys(outputDir.endsWith(QLatin1Char(':')) ? outputDir.chopped(1) : outputDir,
                                          findChild<QAction*>(QStringLiteral("actOutputDirFocus"))->shortcut()));
    trayIcon_->setToolTip(Q(ApplicationTitle));

    fileList_->ApplyTexts();
    UpdateArmedLine();
}

bool TfrmMain::RebuildProfileFolders()
{
    if (formatBand_->RebuildProfileFolders())
        return true;
    ShowMessageBox(this, IDS_MESSAGEBOX_CreateDirError, IDS_MESSAGEBOX_Error, TMsgIcon::Error);
    return false;
}

void TfrmMain::FitFormatButtons()
{
    // The window grows when the row of format buttons needs it.
    const int row = formatBand_->FitFormatButtons() + 2 * BodyMargin;
    // The media panel's rows keep their height (the complete name two lines):
    // the window grows taller when the fonts need more than its usual height.
    ensurePolished();
    // Nested layouts keep their own cached sizes.
    for (QLayout* l : pnlClient_->findChildren<QLayout*>())
        l->invalidate();
    pnlClient_->layout()->invalidate();
    const QSize least = pnlClient_->layout()->totalMinimumSize();
    const int width = std::max({WindowWidth, row, least.width()});
    const int height = std::max(WindowHeight, least.height());
    // A window at its least size follows that size; one the user made
    // larger keeps its size while it is large enough.
    const QSize before = minimumSize();
    setMinimumSize(width, height);
    const int newWidth = this->width() <= before.width() ? width : std::max(width, this->width());
    const int newHeight = this->height() <= before.height() ? height : std::max(height, this->height());
    if (newWidth != this->width() || newHeight != this->height())
        resize(newWidth, newHeight);
}

// ---------------------------------------------------------------------------
// Menus, mouse and drops

void TfrmMain::ShowHelpMenu()
{
    menus_->mnuHelp->popup(btnHelp_->mapToGlobal(QPoint(0, btnHelp_->height())));
}

void TfrmMain::ShowListMenu(const QPoint& globalPos, bool haveSelection)
{
    const TFileListItem* entry = fileList_->FirstSelectedEntry();
    const bool converted = entry && entry->State == TFileState::Converted;
    menus_->actPlayOutput->setVisible(converted);
    menus_->actOpenOutputFolder->setVisible(converted);
    (haveSelection ? menus_->mnuListViewHaveFile : menus_->mnuListViewNoFile)->popup(globalPos);
}

void TfrmMain::mousePressEvent(QMouseEvent* event)
{
    // The whole background drags the window.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove()) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        const QList<QUrl> urls = event->mimeData()->urls();
        if (std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); })) {
            event->acceptProposedAction();
            return;
        }
    }
    QWidget::dragEnterEvent(event);
}

void TfrmMain::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(S(url.toLocalFile()));
    event->acceptProposedAction();
    DropFiles(paths);
}

// ---------------------------------------------------------------------------
// Desktop

void TfrmMain::OpenLocalFile(const std::string& path)
{
    OpenLocalPathOrTell(this, path);
}

void TfrmMain::HelpContent()
{
    // The page of the language in use now (it follows a language switch),
    // or the English page when that language has none.
    OpenLocalFile(LanguageHelpFile(LanguageFilePath));
}

void TfrmMain::PlaySource()
{
    const TFileItem* item = fileList_->FirstSelectedItem();
    if (!item)
        return;
    OpenLocalFile(AddTrailingBackslash(item->FilePath) + item->FileName);
}

void TfrmMain::PlayOutput()
{
    const TFileListItem* entry = fileList_->FirstSelectedEntry();
    if (entry && entry->State == TFileState::Converted && !entry->OutputPath.empty())
        OpenLocalFile(entry->OutputPath);
}

void TfrmMain::OpenOutputFolder()
{
    const TFileListItem* entry = fileList_->FirstSelectedEntry();
    if (entry && entry->State == TFileState::Converted && !entry->OutputPath.empty())
        OpenLocalFile(S(QFileInfo(Q(entry->OutputPath)).absolutePath()));
}

void TfrmMain::Quit(int code)
{
    if (QuitHook) {
        QuitHook(code);
        return;
    }
    QCoreApplication::exit(code);
}

bool TfrmMain::SaveOptionsBeforeExit()
{
    // The size the window has when it is neither maximised nor full screen.
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    if (normal.width() > 0 && normal.height() > 0) {
        Options.WindowWidth = normal.width();
        Options.WindowHeight = normal.height();
    }
    Options.ListColumns = fileList_->ColumnWidths();
    try {
        // A refused options.ini was announced at start and is never replaced.
        if (OptionsFileProblem.empty())
            SaveOptions();
    } catch (const std::exception& e) {
        // Nothing is lost silently: say so, and end only when the user agrees.
        if (ShowMessageBox(this, e.what(), IDS_MESSAGEBOX_Error, TMsgIcon::Error, TMsgBoxButtons::OKCancel) != mrOk)
            return false;
    }
    return true;
}

void TfrmMain::Exit()
{
    if (!SaveOptionsBeforeExit())
        return;
    quitting_ = true;
    Quit(0);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // While a batch runs its progress window decides how to stop.
    if (BatchRunning()) {
        event->ignore();
        return;
    }
    if (!quitting_) {
        if (!SaveOptionsBeforeExit()) {
            event->ignore();
            return;
        }
        quitting_ = true;
        Quit(0);
    }
    event->accept();
}

void TfrmMain::CenterOnScreen()
{
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    // With the frame where it is known already (the window manager may add it later).
    const QSize outer = frameGeometry().size().expandedTo(size());
    const QRect free = s->availableGeometry();
    move(free.x() + (free.width() - outer.width()) / 2, free.y() + (free.height() - outer.height()) / 2);
}

namespace {

// Appends "Name=milliseconds since the epoch" to the file QV_LIST_TIMES names
// (for the list benchmark); nothing when it is not set.
void ReportMoment(const char* name)
{
    const QString file = qEnvironmentVariable("QV_LIST_TIMES");
    if (file.isEmpty())
        return;
    QFile out(file);
    if (out.open(QIODevice::Append | QIODevice::Text))
        out.write(QByteArray(name) + '=' + QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '\n');
}

} // namespace

void TfrmMain::ShowWithFiles(const std::vector<std::string>& paths)
{
    show();
    QTimer::singleShot(0, this, [this, paths] {
        // The files of this start join the list after an interrupted batch
        // that the user continues, as files handed over during a batch do.
        handedOver_.insert(handedOver_.end(), paths.begin(), paths.end());
        ResumeInterruptedBatch();
        if (!handedOver_.empty()) {
            std::vector<std::string> files;
            files.swap(handedOver_);
            DropFiles(files);
        }
    });
    if (qEnvironmentVariableIsSet("QV_LIST_TIMES")) {
        // Usable: shown, the files listed and the event loop answering.
        QTimer::singleShot(0, this, [this] {
            ReportMoment("listed");
            QTimer::singleShot(0, this, [] { ReportMoment("usable"); });
            if (fileList_->PendingFacts() == 0)
                ReportMoment("facts");
            else
                connect(fileList_.get(), &TFileListPanel::FactsComplete, this, [] { ReportMoment("facts"); },
                        Qt::SingleShotConnection);
        });
    }
}

void TfrmMain::HandOverFiles(const std::vector<std::string>& paths)
{
    RestoreFromTray();
    if (BatchRunning()) {
        handedOver_.insert(handedOver_.end(), paths.begin(), paths.end());
        return;
    }
    if (!paths.empty())
        DropFiles(paths);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    // Sent before the window is mapped, so it appears in its place at once.
    if (!placed_) {
        placed_ = true;
        FitFormatButtons(); // now with the fonts the window is shown with
        // The size it had when it was closed, when that is at least what it needs.
        if (Options.WindowWidth > 0 && Options.WindowHeight > 0)
            resize(std::max(Options.WindowWidth, minimumWidth()), std::max(Options.WindowHeight, minimumHeight()));
        CenterOnScreen();
    }
    QWidget::showEvent(event);
}

