#include "ui/main/MainWnd.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <QLocale>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/common/Busy.h"
#include "ui/common/Artwork.h"
#include "ui/main/FileListItem.h"
#include "ui/main/MainBatch.h"
#include "ui/main/MainIcons.h"
#include "ui/main/SleepInhibitor.h"

namespace {

struct TFormatRow {
    const char* Suffix;     // object-name suffix: actAVI, cmbAVI, btnAVI / miVOB
    std::string* Caption;   // catalogue text of the button or menu item
};

// In OutputFormatKind order.
const std::array<TFormatRow, 16>& FormatRows()
{
    static const std::array<TFormatRow, 16> rows = {{
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
    }};
    return rows;
}

constexpr int MainFormatCount = 8;
// The order of the "To Others" menu.
constexpr std::array<int, 8> OtherMenuOrder = {10, 11, 12, 13, 14, 15, 8, 9};
constexpr int FileColumnWidth = 445;
constexpr int WindowWidth = 740;
constexpr int WindowHeight = 560;
constexpr int BodyMargin = 12;
constexpr int FormatButtonMinWidth = 74;
constexpr int FormatButtonSpacing = 6;

// Menu captions are plain texts: a "&" in a catalogue or language name is shown, not an accelerator.
QString MenuText(const std::string& s)
{
    return DisplayText(s).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QAction* NewAction(QWidget* owner, const char* name, const QKeySequence& shortcut = {})
{
    auto* a = new QAction(owner);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        owner->addAction(a);
    }
    return a;
}

QToolButton* NewToolButton(QWidget* parent, const char* name, const QIcon& icon)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// A value of the media panel: at most Lines lines at the width the panel
// gives it; a longer text is cut short with "…" in its last line and shown
// whole as the tool tip. text() stays the whole value.
class TFactValueLabel : public QLabel {
public:
    TFactValueLabel(int lines, QWidget* parent) : QLabel(parent), lines_(lines)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()), fontMetrics().lineSpacing() * lines_};
    }
    QSize minimumSizeHint() const override { return {16, fontMetrics().lineSpacing() * lines_}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QRect area = contentsRect();
        bool cut = false;
        const QStringList lines = FactLines(text(), font(), area.width(), lines_, &cut);
        setToolTip(cut ? text() : QString());
        QPainter p(this);
        p.setPen(palette().color(foregroundRole()));
        const int step = fontMetrics().lineSpacing();
        int y = area.top();
        for (const QString& line : lines) {
            p.drawText(QRect(area.left(), y, area.width(), step), Qt::AlignLeft | Qt::AlignVCenter, line);
            y += step;
        }
    }

private:
    int lines_;
};

QLabel* NewLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

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

QStringList FactLines(const QString& text, const QFont& font, int width, int maxLines, bool* cut)
{
    if (cut)
        *cut = false;
    QStringList lines;
    if (text.isEmpty() || maxLines < 1)
        return lines;
    width = std::max(width, 1);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            // The last line holds all that is left, cut short in the middle
            // (the end of a file name carries its extension).
            const QString rest = text.mid(line.textStart());
            const QString shown = QFontMetrics(font).elidedText(rest, Qt::ElideMiddle, width);
            if (cut)
                *cut = shown != rest;
            lines << shown;
            break;
        }
        QString piece = text.mid(line.textStart(), line.textLength());
        while (piece.endsWith(QLatin1Char(' ')))
            piece.chop(1);
        lines << piece;
    }
    layout.endLayout();
    return lines;
}

// ---------------------------------------------------------------------------
// Creation

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    sleepInhibitor_ = std::make_unique<TSleepInhibitor>();

    CreateActions();
    CreateControls();
    CreateMenus();
    CreateTray();
    ConnectCommands();

    QLocale::setDefault(QLocale::c()); // numbers always with "."
    CreateBatchMachinery();
    try {
        LoadOptions();
    } catch (const std::exception& e) {
        // options.ini could not be written: go on with the defaults.
        ShowMessageBox(this, e.what(), IDS_MESSAGEBOX_Error, TMsgIcon::Error);
    }
    if (!OptionsFileProblem.empty())
        ShowMessageBox(this, FormatText(IDS_MESSAGEBOX_OptionsFileRefused, {OptionsFile, OptionsFileProblem}),
                       ApplicationTitle, TMsgIcon::Warning);
    ApplyStoredFormat();
    BuildLanguageMenu();
    if (!ApplyTexts()) {
        startedOk_ = false;
        return;
    }
    QApplication::setApplicationDisplayName(Q(ApplicationTitle));
    lblTitle_->setText(Q(ApplicationTitle));
    setWindowTitle(Q(ApplicationTitle));
    setAcceptDrops(true);
    UpdateSummary();
    pnlMediaInfo_->setVisible(false);
}



void TfrmMain::CreateActions()
{
    actOpen_ = NewAction(this, "actOpen");
    actAdd_ = NewAction(this, "actAdd", QKeySequence(Qt::CTRL | Qt::Key_N));
    actDelete_ = NewAction(this, "actDelete", QKeySequence(Qt::Key_Delete));
    actClearList_ = NewAction(this, "actClearList", QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    actSelectAll_ = NewAction(this, "actSelectAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    actMoveUp_ = NewAction(this, "actMoveUp");
    actMoveDown_ = NewAction(this, "actMoveDown");
    actPlaySource_ = NewAction(this, "actPlaySource");
    actOpenDestinationFolder_ = NewAction(this, "actOpenDestinationFolder");
    actBrowse_ = NewAction(this, "actBrowse");
    actSettingsExecute_ = NewAction(this, "actSettingsExecute", QKeySequence(Qt::CTRL | Qt::Key_T));
    actHelp_ = NewAction(this, "actHelp");
    actHelpContent_ = NewAction(this, "actHelpContent", QKeySequence(Qt::Key_F1));
    actOnlineResources_ = NewAction(this, "actOnlineResources");
    actTechnicalSupport_ = NewAction(this, "actTechnicalSupport");
    actAbout_ = NewAction(this, "actAbout", QKeySequence(Qt::Key_F10));
    actMin_ = NewAction(this, "actMin");
    actExit_ = NewAction(this, "actExit");
    actConvert_ = NewAction(this, "actConvert");
    actMore_ = NewAction(this, "actMore");

    // Profile commands; Edit has a shortcut too, so every one can be reached
    // from the keyboard.
    actEditProfile_ = NewAction(this, "actEditProfile", QKeySequence(Qt::CTRL | Qt::Key_E));
    actAddNewProfile_ = NewAction(this, "actAddNewProfile");
    actDeleteProfiles_ = NewAction(this, "actDeleteProfiles");
    actRenameProfileExecute_ = NewAction(this, "actRenameProfileExecute");
    actProfileAdditional_ = NewAction(this, "actProfileAdditional");

    for (int f = 0; f < OutputFormatCount; ++f) {
        QAction* a = NewAction(this, ("act" + std::string(FormatRows()[f].Suffix)).c_str());
        // The other formats show their choice as a check mark in the menu.
        a->setCheckable(f >= MainFormatCount);
        formatActions_[f] = a;
    }
    actOthers_ = NewAction(this, "actOthers");
}

void TfrmMain::CreateControls()
{
    // Everything lies on one client panel that carries the window's style sheet.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pnlClient_ = new QWidget(this);
    pnlClient_->setObjectName(QStringLiteral("pnlClient"));
    pnlClient_->setAttribute(Qt::WA_StyledBackground, true);
    pnlClient_->setStyleSheet(QString::fromLatin1(WindowStyle));
    outer->addWidget(pnlClient_);
    auto* root = new QVBoxLayout(pnlClient_);
    root->setContentsMargins(0, 0, 0, 8);
    root->setSpacing(6);

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

    auto* body = new QVBoxLayout;
    body->setContentsMargins(BodyMargin, 0, BodyMargin, 0);
    body->setSpacing(6);
    root->addLayout(body, 1);

    // Output formats.
    lblConvertTo_ = NewLabel(this, "lblConvertTo");
    lblConvertTo_->setProperty("heading", true);
    body->addWidget(lblConvertTo_);
    auto* formats = new QHBoxLayout;
    formats->setSpacing(FormatButtonSpacing);
    for (int f = 0; f < MainFormatCount; ++f) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("btn") + QString::fromLatin1(FormatRows()[f].Suffix));
        b->setProperty("formatButton", true);
        b->setDefaultAction(formatActions_[f]);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIconSize(QSize(34, 26));
        b->setFixedSize(FormatButtonMinWidth, 62); // widened to the caption by ApplyTexts
        formatActions_[f]->setIcon(FormatIcon(QString::fromLatin1(FormatRows()[f].Suffix)));
        formatButtons_[f] = b;
        formats->addWidget(b);
    }
    btnOthers_ = new QToolButton(this);
    btnOthers_->setObjectName(QStringLiteral("btnOthers"));
    btnOthers_->setProperty("formatButton", true);
    btnOthers_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    btnOthers_->setIcon(FormatIcon(QStringLiteral("...")));
    btnOthers_->setIconSize(QSize(34, 26));
    btnOthers_->setFixedSize(FormatButtonMinWidth, 62);
    btnOthers_->installEventFilter(this);
    formats->addWidget(btnOthers_);
    formats->addStretch(1);
    body->addLayout(formats);

    // List commands.
    auto* tools = new QHBoxLayout;
    tools->setSpacing(2);
    btnOpen_ = new QPushButton(this);
    btnOpen_->setObjectName(QStringLiteral("btnOpen"));
    btnOpen_->setIcon(GlyphIcon(TGlyph::Open, QColor(0x2f, 0x6f, 0xd0)));
    tools->addWidget(btnOpen_);
    tools->addSpacing(8);
    const QColor toolColor(0x34, 0x48, 0x66);
    btnAddFile_ = NewToolButton(this, "btnAddFile", GlyphIcon(TGlyph::Add, toolColor));
    btnDeleteFile_ = NewToolButton(this, "btnDeleteFile", GlyphIcon(TGlyph::Remove, toolColor));
    btnClearList_ = NewToolButton(this, "btnClearList", GlyphIcon(TGlyph::Clear, toolColor));
    btnMoveUp_ = NewToolButton(this, "btnMoveUp", GlyphIcon(TGlyph::Up, toolColor));
    btnMoveDown_ = NewToolButton(this, "btnMoveDown", GlyphIcon(TGlyph::Down, toolColor));
    for (QToolButton* b : {btnAddFile_, btnDeleteFile_, btnClearList_, btnMoveUp_, btnMoveDown_}) {
        b->setIconSize(QSize(18, 18));
        tools->addWidget(b);
    }
    tools->addStretch(1);
    body->addLayout(tools);

    // The file list and the media panel.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(8);
    lsvFileName_ = new QTreeWidget(this);
    lsvFileName_->setObjectName(QStringLiteral("lsvFileName"));
    lsvFileName_->setColumnCount(1);
    lsvFileName_->setHeaderHidden(true);
    lsvFileName_->setRootIsDecorated(false);
    lsvFileName_->setUniformRowHeights(true);
    lsvFileName_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lsvFileName_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lsvFileName_->setIconSize(QSize(20, 18));
    lsvFileName_->setColumnWidth(0, FileColumnWidth);
    // The one column follows the visible width (names are elided in the
    // middle), so no horizontal scroll bar is ever needed; a vertical one
    // takes its room from the column (see eventFilter).
    lsvFileName_->header()->setStretchLastSection(false);
    lsvFileName_->header()->setMinimumSectionSize(0);
    lsvFileName_->viewport()->installEventFilter(this);
    lsvFileName_->setContextMenuPolicy(Qt::CustomContextMenu);
    lsvFileName_->setTextElideMode(Qt::ElideMiddle);
    lsvFileName_->setFixedWidth(FileColumnWidth + 6);
    middle->addWidget(lsvFileName_);

    pnlMediaInfo_ = new QFrame(this);
    pnlMediaInfo_->setObjectName(QStringLiteral("pnlMediaInfo"));
    auto* grid = new QGridLayout(pnlMediaInfo_);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto heading = [&](const char* name) {
        QLabel* l = NewLabel(pnlMediaInfo_, name);
        l->setProperty("heading", true);
        grid->addWidget(l, row++, 0, 1, 2);
        return l;
    };
    auto fact = [&](const char* caption, const char* value, std::string* text, std::string TFileItem::* field,
                    bool wrap = false) {
        TFactRow r;
        r.Caption = NewLabel(pnlMediaInfo_, caption);
        // Values keep to their row: a long one is cut short with "…" and shown whole as a tool tip.
        auto* v = new TFactValueLabel(wrap ? 2 : 1, pnlMediaInfo_);
        v->setObjectName(QString::fromLatin1(value));
        r.Value = v;
        r.CaptionText = text;
        r.Field = field;
        if (wrap)
            r.Caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(r.Caption, row, 0);
        grid->addWidget(r.Value, row++, 1);
        factRows_.push_back(r);
    };
    lblGeneral_ = heading("lblGeneral");
    fact("lblCompleteName", "lblCompleteNameValue", &IDS_MAIN_LABEL_CompleteName, &TFileItem::CompleteName, true);
    fact("lblPlayTime", "lblPlayTimeValue", &IDS_MAIN_LABEL_PlayTime, &TFileItem::PlayTime);
    fact("lblFormat", "lblFormatValue", &IDS_MAIN_LABEL_Format, &TFileItem::FormatName);
    fact("lblAudioCount", "lblAudioCountValue", &IDS_MAIN_LABEL_AudioCount, &TFileItem::AudioCount);
    fact("lblVideoCount", "lblVideoCountValue", &IDS_MAIN_LABEL_VideoCount, &TFileItem::VideoCount);
    lblVideo_ = heading("lblVideo");
    fact("lblVideoCodec", "lblVideoCodecValue", &IDS_MAIN_LABEL_Codec, &TFileItem::VideoCodec);
    fact("lblWidth", "lblWidthValue", &IDS_MAIN_LABEL_Width, &TFileItem::Width);
    fact("lblHeight", "lblHeightValue", &IDS_MAIN_LABEL_Height, &TFileItem::Height);
    fact("lblVideoBitrate", "lblVideoBitrateValue", &IDS_MAIN_LABEL_Bitrate, &TFileItem::VideoBitrate);
    fact("lblAspectRatio", "lblAspectRatioValue", &IDS_MAIN_LABEL_AspectRatio, &TFileItem::AspectRatio);
    fact("lblFrameRate", "lblFrameRateValue", &IDS_MAIN_LABEL_FrameRate, &TFileItem::FrameRate);
    lblAudio_ = heading("lblAudio");
    fact("lblAudioCodec", "lblAudioCodecValue", &IDS_MAIN_LABEL_Codec, &TFileItem::AudioCodec);
    fact("lblAudioBitrate", "lblAudioBitrateValue", &IDS_MAIN_LABEL_Bitrate, &TFileItem::AudioBitrate);
    fact("lblChannels", "lblChannelsValue", &IDS_MAIN_LABEL_Channels, &TFileItem::Channels);
    fact("lblSamplingRate", "lblSamplingRateValue", &IDS_MAIN_LABEL_SamplingRate, &TFileItem::SamplingRate);
    grid->setRowStretch(row++, 1);
    lblMore_ = NewLabel(pnlMediaInfo_, "lblMore");
    // A fixed text, not taken from the language file.
    lblMore_->setText(QStringLiteral("<a href=\"more\">More Information...</a>"));
    lblMore_->setTextFormat(Qt::RichText);
    lblMore_->setAlignment(Qt::AlignRight);
    grid->addWidget(lblMore_, row++, 0, 1, 2);
    for (const TFactRow& r : factRows_)
        r.Value->setText(Q(IDS_SuspensionPoint));
    // The list keeps its place while the panel is hidden.
    QSizePolicy panelPolicy = pnlMediaInfo_->sizePolicy();
    panelPolicy.setRetainSizeWhenHidden(true);
    pnlMediaInfo_->setSizePolicy(panelPolicy);
    middle->addWidget(pnlMediaInfo_, 1);
    body->addLayout(middle, 1);

    // Profile of the chosen format.
    auto* profileRow = new QHBoxLayout;
    lblProFile_ = NewLabel(this, "lblProFile");
    profileRow->addWidget(lblProFile_);
    stkProfiles_ = new QStackedWidget(this);
    stkProfiles_->setObjectName(QStringLiteral("stkProfiles"));
    for (int f = 0; f < OutputFormatCount; ++f) {
        auto* c = new QComboBox(stkProfiles_);
        c->setObjectName(QStringLiteral("cmb") + QString::fromLatin1(FormatRows()[f].Suffix));
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        profileCombos_[f] = c;
        stkProfiles_->addWidget(c);
        connect(c, &QComboBox::currentIndexChanged, this, [f](int index) {
            TProfileList& list = ProfileLists[f];
            if (index >= 0 && index < static_cast<int>(list.Items.size()))
                list.ItemIndex = index;
        });
    }
    // Shown in front when no format is chosen.
    auto* none = new QWidget(stkProfiles_);
    none->setObjectName(QStringLiteral("pnlNoProfile"));
    stkProfiles_->addWidget(none);
    stkProfiles_->setCurrentWidget(none);
    stkProfiles_->setFixedWidth(330);
    profileRow->addWidget(stkProfiles_);
    btnEditProfile_ = new QPushButton(this);
    btnEditProfile_->setObjectName(QStringLiteral("btnEditProfile"));
    profileRow->addWidget(btnEditProfile_);
    btnNewEdit_ = new QToolButton(this);
    btnNewEdit_->setObjectName(QStringLiteral("btnNewEdit"));
    btnNewEdit_->setArrowType(Qt::DownArrow);
    profileRow->addWidget(btnNewEdit_);
    profileRow->addStretch(1);
    body->addLayout(profileRow);

    // Output folder.
    auto* outRow = new QHBoxLayout;
    lblOutputDir_ = NewLabel(this, "lblOutputDir");
    outRow->addWidget(lblOutputDir_);
    txtOutputDir_ = new QLineEdit(this);
    txtOutputDir_->setObjectName(QStringLiteral("txtOutputDir"));
    outRow->addWidget(txtOutputDir_, 1);
    btnOutputDir_ = new QPushButton(this);
    btnOutputDir_->setObjectName(QStringLiteral("btnOutputDir"));
    outRow->addWidget(btnOutputDir_);
    body->addLayout(outRow);

    // What the stored options will do after the next batch, while any is armed.
    lblArmed_ = NewLabel(this, "lblArmed");
    lblArmed_->setWordWrap(true);
    lblArmed_->setVisible(false);
    body->addWidget(lblArmed_);

    // Summary and Convert.
    auto* bottom = new QHBoxLayout;
    lblStatus_ = NewLabel(this, "lblStatus");
    bottom->addWidget(lblStatus_, 1);
    btnConvert_ = new QPushButton(this);
    btnConvert_->setObjectName(QStringLiteral("btnConvert"));
    btnConvert_->setIcon(GlyphIcon(TGlyph::Convert, QColor(0x2f, 0x6f, 0xd0)));
    btnConvert_->setIconSize(QSize(20, 20));
    btnConvert_->setDefault(true);
    bottom->addWidget(btnConvert_);
    body->addLayout(bottom);

    setWindowIcon(AppIcon());
    setFixedSize(WindowWidth, WindowHeight);
}

void TfrmMain::CreateMenus()
{
    mnuHelp_ = new QMenu(this);
    mnuHelp_->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelp_->addAction(actHelpContent_);
    mnuHelp_->addSeparator();
    mniLanguages_ = mnuHelp_->addMenu(QString());
    mniLanguages_->setObjectName(QStringLiteral("mniLanguages"));
    mnuHelp_->addSeparator();
    mnuHelp_->addAction(actOnlineResources_);
    mnuHelp_->addAction(actTechnicalSupport_);
    mnuHelp_->addSeparator();
    mnuHelp_->addAction(actAbout_);

    mnuOthers_ = new QMenu(this);
    mnuOthers_->setObjectName(QStringLiteral("mnuOthers"));
    for (int f : OtherMenuOrder) {
        mnuOthers_->addAction(formatActions_[f]);
        // Other formats are reached as menu items; their item name travels with the action.
        formatActions_[f]->setProperty("menuItemName", QStringLiteral("mi") + QString::fromLatin1(FormatRows()[f].Suffix));
    }

    // The two list menus; items with a caption of their own are separate
    // actions that trigger the command.
    auto alias = [this](QMenu* menu, const char* name, QAction* target) {
        QAction* a = menu->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, target, &QAction::trigger);
        return a;
    };
    mnuListViewHaveFile_ = new QMenu(this);
    mnuListViewHaveFile_->setObjectName(QStringLiteral("mnuListViewHaveFile"));
    mnuListViewHaveFile_->addAction(actPlaySource_);
    mnuListViewHaveFile_->addAction(actOpenDestinationFolder_);
    mnuListViewHaveFile_->addSeparator();
    mnuListViewHaveFile_->addAction(actDelete_);
    mnuListViewHaveFile_->addAction(actClearList_);
    mnuListViewHaveFile_->addSeparator();
    miAddFilesHaveFile_ = alias(mnuListViewHaveFile_, "miAddFilesHaveFile", actAdd_);
    mnuListViewHaveFile_->addSeparator();
    mnuListViewHaveFile_->addAction(actSelectAll_);

    mnuListViewNoFile_ = new QMenu(this);
    mnuListViewNoFile_->setObjectName(QStringLiteral("mnuListViewNoFile"));
    miAddFilesNoFile_ = alias(mnuListViewNoFile_, "miAddFilesNoFile", actAdd_);
    mnuListViewNoFile_->addSeparator();
    miSettingNoFile_ = alias(mnuListViewNoFile_, "miSetting", actSettingsExecute_);
    mnuListViewNoFile_->addSeparator();
    miHelpContentNoFile_ = alias(mnuListViewNoFile_, "miHelpContentNoFile", actHelpContent_);

    mnuProfileAdditional_ = new QMenu(this);
    mnuProfileAdditional_->setObjectName(QStringLiteral("mnuProfileAdditional"));
    mnuProfileAdditional_->addAction(actAddNewProfile_);
    mnuProfileAdditional_->addSeparator();
    mnuProfileAdditional_->addAction(actDeleteProfiles_);
    mnuProfileAdditional_->addAction(actRenameProfileExecute_);
    actAddNewProfile_->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N));
    actDeleteProfiles_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    actRenameProfileExecute_->setShortcut(QKeySequence(Qt::Key_F2));
    for (QAction* a : {actAddNewProfile_, actDeleteProfiles_, actRenameProfileExecute_, actEditProfile_}) {
        a->setShortcutVisibleInContextMenu(true);
        addAction(a);
    }
}

void TfrmMain::CreateTray()
{
    trayIcon_ = new QSystemTrayIcon(AppIcon(), this);
    trayIcon_->setObjectName(QStringLiteral("TrayIcon"));
    mnuTray_ = new QMenu(this);
    mnuTray_->setObjectName(QStringLiteral("mnuTray"));
    miTrayShowWindow_ = mnuTray_->addAction(QString());
    miTrayShowWindow_->setObjectName(QStringLiteral("miTrayShowWindow"));
    QFont bold = miTrayShowWindow_->font();
    bold.setBold(true);
    miTrayShowWindow_->setFont(bold); // the default item
    miTrayExit_ = mnuTray_->addAction(QString());
    miTrayExit_->setObjectName(QStringLiteral("miTrayExit"));
    trayIcon_->setContextMenu(mnuTray_);

    connect(mnuTray_, &QMenu::aboutToShow, this, [this] {
        miTrayExit_->setText(MenuText(batchRunning_ ? IDS_MAIN_MENUITEM_StopEncoding : IDS_MAIN_MENUITEM_ExitProgram));
    });
    connect(miTrayShowWindow_, &QAction::triggered, this, &TfrmMain::RestoreFromTray);
    connect(miTrayExit_, &QAction::triggered, this, &TfrmMain::TrayExit);
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
    bind(btnOpen_, actOpen_);
    bind(btnAddFile_, actAdd_);
    bind(btnDeleteFile_, actDelete_);
    bind(btnClearList_, actClearList_);
    bind(btnMoveUp_, actMoveUp_);
    bind(btnMoveDown_, actMoveDown_);
    bind(btnOutputDir_, actBrowse_);
    bind(btnConvert_, actConvert_);
    bind(btnHelp_, actHelp_);
    bind(btnEditProfile_, actEditProfile_);
    bind(btnNewEdit_, actProfileAdditional_);
    connect(actEditProfile_, &QAction::changed, btnEditProfile_,
            [this] { btnEditProfile_->setEnabled(actEditProfile_->isEnabled()); });
    connect(actProfileAdditional_, &QAction::changed, btnNewEdit_,
            [this] { btnNewEdit_->setEnabled(actProfileAdditional_->isEnabled()); });

    connect(actOpen_, &QAction::triggered, this, [this] { OpenFilesDialog(true); });
    connect(actAdd_, &QAction::triggered, this, [this] { OpenFilesDialog(false); });
    connect(actDelete_, &QAction::triggered, this, &TfrmMain::DeleteSelected);
    connect(actClearList_, &QAction::triggered, this, &TfrmMain::ClearFileList);
    connect(actSelectAll_, &QAction::triggered, this, &TfrmMain::SelectAll);
    connect(actMoveUp_, &QAction::triggered, this, [this] { MoveListItem(true); });
    connect(actMoveDown_, &QAction::triggered, this, [this] { MoveListItem(false); });
    connect(actPlaySource_, &QAction::triggered, this, &TfrmMain::PlaySource);
    connect(actOpenDestinationFolder_, &QAction::triggered, this, &TfrmMain::OpenDestinationFolder);
    connect(actBrowse_, &QAction::triggered, this, &TfrmMain::Browse);
    connect(actSettingsExecute_, &QAction::triggered, this, &TfrmMain::ShowSettings);
    connect(actHelp_, &QAction::triggered, this, &TfrmMain::ShowHelpMenu);
    connect(actHelpContent_, &QAction::triggered, this, &TfrmMain::HelpContent);
    // No web page is configured: "Online Resources" opens the help page shipped with the program.
    connect(actOnlineResources_, &QAction::triggered, this, &TfrmMain::HelpContent);
    connect(actTechnicalSupport_, &QAction::triggered, this, [] { OpenTechnicalSupport(); });
    connect(actAbout_, &QAction::triggered, this, &TfrmMain::ShowAbout);
    connect(actMin_, &QAction::triggered, this, &QWidget::showMinimized);
    connect(actExit_, &QAction::triggered, this, &TfrmMain::Exit);
    connect(actConvert_, &QAction::triggered, this, &TfrmMain::ConvertFiles);
    connect(actMore_, &QAction::triggered, this, &TfrmMain::ShowMoreInformation);
    connect(lblMore_, &QLabel::linkActivated, actMore_, &QAction::trigger);
    connect(actProfileAdditional_, &QAction::triggered, this, &TfrmMain::ShowProfileMenu);
    connect(actEditProfile_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Edit); });
    connect(actAddNewProfile_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Add); });
    connect(actDeleteProfiles_, &QAction::triggered, this, [this] { RunProfileCommand(TProfileCommand::Delete); });
    connect(actRenameProfileExecute_, &QAction::triggered, this,
            [this] { RunProfileCommand(TProfileCommand::Rename); });

    for (int f = 0; f < OutputFormatCount; ++f)
        connect(formatActions_[f], &QAction::triggered, this, [this, f] { SelectOutputFormat(f); });

    connect(lsvFileName_, &QTreeWidget::customContextMenuRequested, this, &TfrmMain::ShowListMenu);
    connect(lsvFileName_, &QTreeWidget::itemDoubleClicked, actPlaySource_, &QAction::trigger);
    connect(lsvFileName_, &QTreeWidget::itemSelectionChanged, this, &TfrmMain::ScheduleRefresh);
    QAbstractItemModel* model = lsvFileName_->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &TfrmMain::ScheduleRefresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TfrmMain::ScheduleRefresh);
    connect(model, &QAbstractItemModel::modelReset, this, &TfrmMain::ScheduleRefresh);
}

// ---------------------------------------------------------------------------
// Texts and languages

void TfrmMain::BuildLanguageMenu()
{
    mniLanguages_->clear();
    languages_ = std::make_unique<TKestMultiLanguages>(LanguagesFolder, "LanguageName", "DazadUVI_Convert");
    const std::string current = QFileInfo(Q(LanguageFilePath)).fileName().toStdString();
    for (int i = 0; i < languages_->LanguageCount(); ++i) {
        const std::string name = languages_->LanguageDisplayName(i);
        QAction* item = mniLanguages_->addAction(MenuText(name));
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
    const QList<QAction*> items = mniLanguages_->actions();
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
    if (!ApplyTexts())
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
}

bool TfrmMain::ApplyTexts()
{
    btnOpen_->setText(MenuText(IDS_MAIN_BUTTON_Open));
    lblProFile_->setText(MenuText(IDS_MAIN_LABEL_ProFile));
    btnEditProfile_->setText(QStringLiteral("      ") + MenuText(IDS_MAIN_ARBUTTON_EditProFile));
    lblConvertTo_->setText(MenuText(IDS_MAIN_LABEL_ConvertTo));
    lblOutputDir_->setText(MenuText(IDS_MAIN_ARBUTTON_OutputDir));
    btnOutputDir_->setText(MenuText(IDS_MAIN_ARBUTTON_Browse));
    btnConvert_->setText(MenuText(IDS_MAIN_ARBUTTON_Convert));
    actConvert_->setText(MenuText(IDS_MAIN_ARBUTTON_Convert));
    for (int f = 0; f < OutputFormatCount; ++f)
        formatActions_[f]->setText(MenuText(*FormatRows()[f].Caption));
    UpdateOthersButton();
    FitFormatButtons();

    actOpen_->setText(MenuText(IDS_MAIN_BUTTON_Open));
    actAdd_->setText(MenuText(IDS_MAIN_MENUITEM_AddFiles));
    miAddFilesNoFile_->setText(MenuText(IDS_MAIN_MENUITEM_AddFiles));
    miAddFilesHaveFile_->setText(MenuText(IDS_MAIN_MENUITEM_AddFiles) + QStringLiteral("..."));
    actDelete_->setText(MenuText(IDS_MAIN_MENUITEM_Delete));
    actClearList_->setText(MenuText(IDS_MAIN_MENUITEM_ClearList));
    actSelectAll_->setText(MenuText(IDS_MAIN_MENUITEM_SelectAll));
    actMoveUp_->setText(MenuText(IDS_MAIN_HINT_MoveUp));
    actMoveDown_->setText(MenuText(IDS_MAIN_HINT_MoveDown));
    actPlaySource_->setText(MenuText(IDS_MAIN_MENUITEM_PlaySource));
    actOpenDestinationFolder_->setText(MenuText(IDS_MAIN_MENUITEM_OpenDes));
    actSettingsExecute_->setText(MenuText(IDS_MAIN_MENUITEM_Setting));
    miSettingNoFile_->setText(MenuText(IDS_MAIN_MENUITEM_Setting));
    actHelpContent_->setText(MenuText(IDS_MAIN_MENUITEM_HelpContent));
    miHelpContentNoFile_->setText(MenuText(IDS_MAIN_MENUITEM_HelpContent));
    mniLanguages_->setTitle(MenuText(IDS_MAIN_MENUITEM_Language));
    actOnlineResources_->setText(MenuText(IDS_MAIN_MENUITEM_OnlineResources));
    actTechnicalSupport_->setText(MenuText(IDS_MAIN_MENUITEM_TechnicalSupport));
    actAbout_->setText(MenuText(IDS_MAIN_MENUITEM_About));
    actAddNewProfile_->setText(MenuText(IDS_MAIN_MENUITEM_Add));
    actDeleteProfiles_->setText(MenuText(IDS_MAIN_MENUITEM_DeleteFile));
    actRenameProfileExecute_->setText(MenuText(IDS_MAIN_MENUITEM_Rename));
    actEditProfile_->setText(MenuText(IDS_MAIN_ARBUTTON_EditProFile));
    miTrayShowWindow_->setText(MenuText(IDS_MAIN_MENUITEM_ShowWindow));
    miTrayExit_->setText(MenuText(IDS_MAIN_MENUITEM_ExitProgram));

    // Tool tips of the picture buttons.
    btnAddFile_->setToolTip(DisplayText(IDS_MAIN_MENUITEM_AddFiles));
    btnDeleteFile_->setToolTip(DisplayText(IDS_MAIN_MENUITEM_Delete));
    btnClearList_->setToolTip(DisplayText(IDS_MAIN_MENUITEM_ClearList));
    btnMoveUp_->setToolTip(DisplayText(IDS_MAIN_HINT_MoveUp));
    btnMoveDown_->setToolTip(DisplayText(IDS_MAIN_HINT_MoveDown));
    btnHelp_->setToolTip(DisplayText(IDS_MAIN_MENUITEM_HelpContent));
    btnEditProfile_->setToolTip(DisplayText(IDS_MAIN_ARBUTTON_EditProFile) + QStringLiteral(" (") +
                                actEditProfile_->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(")"));
    trayIcon_->setToolTip(Q(ApplicationTitle));

    lblGeneral_->setText(DisplayText(IDS_MAIN_LABEL_General));
    lblVideo_->setText(DisplayText(IDS_MAIN_LABEL_Video));
    lblAudio_->setText(DisplayText(IDS_MAIN_LABEL_Audio));
    for (const TFactRow& r : factRows_)
        r.Caption->setText(DisplayText(*r.CaptionText));

    openFilter_ = OpenDialogFilter();
    UpdateSummary();
    UpdateArmedLine();

    if (!RefreshProfileLists()) {
        ShowMessageBox(this, IDS_MESSAGEBOX_CreateDirError, IDS_MESSAGEBOX_Error, TMsgIcon::Error);
        return false;
    }
    SyncProfileCombos();
    return true;
}

QString TfrmMain::OpenDialogFilter() const
{
    // Qt's form: "Name (*.a *.b)" joined by ";;". Patterns are matched with
    // the letter case of the file system, so upper-case variants are added
    // (the list itself accepts extensions without regard to case).
    QStringList filters;
    for (const std::string& line : AcceptedFilters) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        QStringList patterns;
        for (const QString& p : Q(line.substr(eq + 1)).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t.isEmpty())
                continue;
            patterns << t;
            if (t.toUpper() != t)
                patterns << t.toUpper();
        }
        QString name = Q(line.substr(0, eq)).trimmed();
        name.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
        filters << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    filters << QStringLiteral("%1 (*)").arg(DisplayText(IDS_FILEINFORMATION_LABEL_AllFile));
    return filters.join(QStringLiteral(";;"));
}

// ---------------------------------------------------------------------------
// Output format and profiles

void TfrmMain::SelectOutputFormat(int format)
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
}

void TfrmMain::UpdateOthersButton()
{
    // While one of the other formats is chosen, "To Others" shows it as chosen
    // and bears its name; the menu still opens from it.
    const int format = CurrentFormat();
    const bool other = format >= MainFormatCount;
    btnOthers_->setText(MenuText(other ? *FormatRows()[format].Caption : IDS_MAIN_RADIOBUTTON_ToOthers));
    btnOthers_->setIcon(FormatIcon(other ? QString::fromLatin1(FormatRows()[format].Suffix) : QStringLiteral("...")));
    btnOthers_->setToolTip(DisplayText(IDS_MAIN_RADIOBUTTON_ToOthers));
    if (btnOthers_->property("chosen").toBool() != other) {
        btnOthers_->setProperty("chosen", other);
        btnOthers_->style()->unpolish(btnOthers_);
        btnOthers_->style()->polish(btnOthers_);
    }
}

void TfrmMain::FitFormatButtons()
{
    // Each button is as wide as its caption needs; "To Others" as wide as the
    // widest caption it can bear. The window grows when the row needs it.
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
    row += others + MainFormatCount * FormatButtonSpacing + 2 * BodyMargin;
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
    if (width != this->width() || height != this->height())
        setFixedSize(width, height);
}

void TfrmMain::ApplyStoredFormat()
{
    if (Options.OutputFormat < OutputFormatCount)
        SelectOutputFormat(Options.OutputFormat);
    txtOutputDir_->setText(Q(Options.LastOutputOpenDir));
}

int TfrmMain::CurrentFormat() const
{
    for (int f = 0; f < MainFormatCount; ++f)
        if (!formatActions_[f]->isEnabled())
            return f;
    for (int f = MainFormatCount; f < OutputFormatCount; ++f)
        if (formatActions_[f]->isChecked())
            return f;
    return -1;
}

void TfrmMain::SyncProfileCombos()
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
}

// ---------------------------------------------------------------------------
// Menus and mouse

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (lsvFileName_ && watched == lsvFileName_->viewport() && event->type() == QEvent::Resize) {
        lsvFileName_->setColumnWidth(0, static_cast<QResizeEvent*>(event)->size().width());
        return false;
    }
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
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::ShowOthersMenu()
{
    mnuOthers_->popup(btnOthers_->mapToGlobal(QPoint(0, btnOthers_->height())));
}

void TfrmMain::ShowHelpMenu()
{
    mnuHelp_->popup(btnHelp_->mapToGlobal(QPoint(0, btnHelp_->height())));
}

void TfrmMain::ShowListMenu(const QPoint& pos)
{
    QMenu* menu = lsvFileName_->selectedItems().isEmpty() ? mnuListViewNoFile_ : mnuListViewHaveFile_;
    menu->popup(lsvFileName_->viewport()->mapToGlobal(pos));
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

// ---------------------------------------------------------------------------
// Desktop

void TfrmMain::OpenLocalFile(const std::string& path)
{
    OpenLocalPath(path);
}

void TfrmMain::HelpContent()
{
    // The page of the language in use now (it follows a language switch),
    // or the English page when that language has none.
    OpenLocalFile(LanguageHelpFile(LanguageFilePath));
}

void TfrmMain::PlaySource()
{
    const QList<QTreeWidgetItem*> selected = lsvFileName_->selectedItems();
    if (selected.isEmpty())
        return;
    auto* item = static_cast<TFileListItem*>(FirstSelected());
    OpenLocalFile(AddTrailingBackslash(item->Info.FilePath) + item->Info.FileName);
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
    if (batchRunning_) {
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

void TfrmMain::showEvent(QShowEvent* event)
{
    // Sent before the window is mapped, so it appears in its place at once.
    if (!placed_) {
        placed_ = true;
        FitFormatButtons(); // now with the fonts the window is shown with
        CenterOnScreen();
    }
    QWidget::showEvent(event);
}
