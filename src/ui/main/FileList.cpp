// The file list of the main window: adding, removing, ordering and
// selecting sources, the summary line and the media panel.

#include "ui/main/FileListPanel.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QTextLayout>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "engine/SourceFiles.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Busy.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/main/FileListItem.h"
#include "ui/main/MainParts.h"
#include "ui/main/MainWnd.h"

namespace {

constexpr int FileColumnWidth = 445;

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

QString OpenDialogFilter()
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

TFileListPanel::TFileListPanel(QWidget* window) : window_(window)
{
    row_ = new QHBoxLayout;
    row_->setSpacing(8);
    CreateList();
    CreateMediaPanel();
    lblStatus_ = NewLabel(window_, "lblStatus");

    connect(lsvFileName_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        emit ContextMenuRequested(lsvFileName_->viewport()->mapToGlobal(pos), !lsvFileName_->selectedItems().isEmpty());
    });
    connect(lsvFileName_, &QTreeWidget::itemDoubleClicked, this, &TFileListPanel::PlayRequested);
    connect(lsvFileName_, &QTreeWidget::itemSelectionChanged, this, &TFileListPanel::ScheduleRefresh);
    QAbstractItemModel* model = lsvFileName_->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &TFileListPanel::ScheduleRefresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TFileListPanel::ScheduleRefresh);
    connect(model, &QAbstractItemModel::modelReset, this, &TFileListPanel::ScheduleRefresh);
    connect(lblMore_, &QLabel::linkActivated, this, &TFileListPanel::MoreInformationRequested);
}

TFileListPanel::~TFileListPanel()
{
    // The list and its model report their own teardown (selection and reset
    // signals) while the window deletes its children, after this panel is
    // gone: cut those connections first.
    lsvFileName_->model()->disconnect(this);
    lsvFileName_->disconnect(this);
}

void TFileListPanel::CreateList()
{
    lsvFileName_ = NewNamed<QTreeWidget>(window_, "lsvFileName");
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
    row_->addWidget(lsvFileName_);
}

void TFileListPanel::CreateMediaPanel()
{
    pnlMediaInfo_ = NewNamed<QFrame>(window_, "pnlMediaInfo");
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
    // Where the selected file's output would go, as the name template and
    // the output settings make it: beside the link, so that it never takes
    // room from the facts (the whole name is its tooltip).
    lblOutputName_ = NewLabel(pnlMediaInfo_, "lblOutputName");
    lblOutputName_->setTextFormat(Qt::PlainText);
    lblOutputName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblOutputName_->hide();
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(lblOutputName_, 1);
    bottom->addWidget(lblMore_);
    grid->addLayout(bottom, row++, 0, 1, 2);
    for (const TFactRow& r : factRows_)
        r.Value->setText(Q(IDS_SuspensionPoint));
    // The list keeps its place while the panel is hidden.
    QSizePolicy panelPolicy = pnlMediaInfo_->sizePolicy();
    panelPolicy.setRetainSizeWhenHidden(true);
    pnlMediaInfo_->setSizePolicy(panelPolicy);
    pnlMediaInfo_->setVisible(false);
    row_->addWidget(pnlMediaInfo_, 1);
}

void TFileListPanel::ApplyTexts()
{
    lblGeneral_->setText(DisplayText(IDS_MAIN_LABEL_General));
    lblVideo_->setText(DisplayText(IDS_MAIN_LABEL_Video));
    lblAudio_->setText(DisplayText(IDS_MAIN_LABEL_Audio));
    for (const TFactRow& r : factRows_)
        r.Caption->setText(DisplayText(*r.CaptionText));
    openFilter_ = OpenDialogFilter();
    UpdateSummary();
}

bool TFileListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lsvFileName_->viewport() && event->type() == QEvent::Resize)
        lsvFileName_->setColumnWidth(0, static_cast<QResizeEvent*>(event)->size().width());
    return QObject::eventFilter(watched, event);
}

const TFileItem* TFileListPanel::FirstSelectedItem() const
{
    auto* item = static_cast<TFileListItem*>(FirstSelected());
    return item ? &item->Info : nullptr;
}

// ---------------------------------------------------------------------------

TFileListItem* TFileListPanel::ItemAt(int index) const
{
    return static_cast<TFileListItem*>(lsvFileName_->topLevelItem(index));
}

int TFileListPanel::FileCount() const
{
    return lsvFileName_->topLevelItemCount();
}

std::string TFileListPanel::FilePathAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? S(item->text(0)) : std::string();
}

const TFileItem* TFileListPanel::FileItemAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? &item->Info : nullptr;
}

TSourcePlace TFileListPanel::SourcePlaceAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? item->Place : TSourcePlace();
}

int TFileListPanel::FileImageAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? item->Image : -1;
}

void TFileListPanel::SetFileImage(int index, int image)
{
    if (TFileListItem* item = ItemAt(index))
        item->SetImage(image);
}

std::vector<int> TFileListPanel::SelectedIndexes() const
{
    std::vector<int> result;
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->isSelected())
            result.push_back(i);
    return result;
}

QTreeWidgetItem* TFileListPanel::FirstSelected() const
{
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->isSelected())
            return ItemAt(i);
    return nullptr;
}

int TFileListPanel::IndexOfPath(const std::string& path) const
{
    const QString caption = Q(path);
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->text(0) == caption) // exact, letter case included
            return i;
    return -1;
}

// ---------------------------------------------------------------------------
// Adding

void TFileListPanel::AddFile(const std::string& path, const TSourcePlace& place)
{
    // Keep the window painted during a long add. User input waits until the
    // add is over, so no command can change the list (or close the window)
    // half-way through it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    const QFileInfo info(Q(path));
    if (!info.exists() || info.isDir())
        return;
    const std::string fullPath = S(info.absoluteFilePath());
    if (!IsAcceptedSourceName(fullPath))
        return;
    if (IndexOfPath(fullPath) >= 0)
        return;

    TFileItem facts = ProbeFileItem(fullPath);
    if (!MediaFileDescribed(facts)) {
        ShowMessageBox(window_, FormatText(IDS_MESSAGEBOX_FormatError, {fullPath}), IDS_MESSAGEBOX_Error,
                       TMsgIcon::Information);
        return;
    }
    const std::string caption = AddTrailingBackslash(facts.FilePath) + facts.FileName;
    auto* item = new TFileListItem(Q(caption), std::move(facts));
    item->Place = place;
    lsvFileName_->addTopLevelItem(item);
}

void TFileListPanel::AddFiles(const std::vector<std::string>& paths)
{
    for (const std::string& p : paths)
        AddFile(p);
    lsvFileName_->viewport()->update();
}

void TFileListPanel::OpenFilesDialog(bool replace)
{
    const std::vector<std::string> files =
        ChooseOpenFiles(window_, replace ? IDS_MAIN_DIALOG_SelectFile : IDS_MAIN_MENUITEM_AddFiles,
                        Options.LastInputOpenDir, S(openFilter_));
    if (files.empty())
        return;
    TBusyCursor busy;
    if (replace)
        ClearFileList();
    AddFiles(files);
    SelectListItem(FileCount());
    Options.LastInputOpenDir = AddTrailingBackslash(S(QFileInfo(Q(files.front())).absolutePath()));
}

void TFileListPanel::AddFolder(const std::string& folder)
{
    const std::string output = OutputFolder ? OutputFolder() : std::string();
    for (const TWalkedFile& file : WalkSourceFolder(S(QFileInfo(Q(folder)).absoluteFilePath()), {output}))
        AddFile(file.Path, file.Place);
}

void TFileListPanel::OpenFolderDialog()
{
    std::string folder = Options.LastInputOpenDir;
    if (!BrowseForFolder(window_, folder, IDS_MAIN_MENUITEM_AddFolder))
        return;
    TBusyCursor busy;
    AddFolder(folder);
    UpdateSummary();
    SelectListItem(FileCount());
    Options.LastInputOpenDir = AddTrailingBackslash(folder);
}

void TFileListPanel::DropFiles(const std::vector<std::string>& paths)
{
    TBusyCursor busy;
    for (const std::string& p : paths) {
        if (QFileInfo(Q(p)).isDir())
            AddFolder(p);
        else
            AddFile(p);
    }
    UpdateSummary();
    SelectListItem(FileCount());
}

// ---------------------------------------------------------------------------
// Removing and ordering

void TFileListPanel::RemoveFileByPath(const std::string& path)
{
    const int index = IndexOfPath(path);
    if (index < 0)
        return;
    delete lsvFileName_->takeTopLevelItem(index);
    ScheduleRefresh();
}

void TFileListPanel::MoveFileToEnd(const std::string& path)
{
    const int index = IndexOfPath(path);
    if (index < 0)
        return;
    lsvFileName_->setUpdatesEnabled(false);
    QTreeWidgetItem* item = lsvFileName_->takeTopLevelItem(index);
    lsvFileName_->addTopLevelItem(item);
    lsvFileName_->setUpdatesEnabled(true);
}

void TFileListPanel::SetFileFailure(const std::string& path, const std::string& reason)
{
    if (TFileListItem* item = ItemAt(IndexOfPath(path)))
        item->SetFailure(Q(reason));
}

void TFileListPanel::DeleteSelected()
{
    if (lsvFileName_->selectedItems().isEmpty())
        return;
    int lowest = -1;
    lsvFileName_->setUpdatesEnabled(false);
    for (int i = FileCount() - 1; i >= 0; --i) {
        if (ItemAt(i)->isSelected()) {
            delete lsvFileName_->takeTopLevelItem(i);
            lowest = i;
        }
    }
    lsvFileName_->setUpdatesEnabled(true);
    SelectListItem(lowest);
    ScheduleRefresh();
}

void TFileListPanel::ClearFileList()
{
    lsvFileName_->setUpdatesEnabled(false);
    lsvFileName_->clear();
    lsvFileName_->setUpdatesEnabled(true);
    UpdateSummary();
}

void TFileListPanel::SelectAll()
{
    lsvFileName_->selectAll();
}

void TFileListPanel::SelectListItem(int index)
{
    const int count = FileCount();
    if (count == 0)
        return;
    lsvFileName_->clearSelection();
    TFileListItem* item = ItemAt(index >= count || index < 0 ? count - 1 : index);
    item->setSelected(true);
    lsvFileName_->scrollToItem(item);
    lsvFileName_->selectionModel()->setCurrentIndex(lsvFileName_->indexFromItem(item),
                                                    QItemSelectionModel::NoUpdate);
}

void TFileListPanel::MoveListItem(bool up)
{
    int index = -1;
    for (int i = 0; i < FileCount(); ++i) {
        if (ItemAt(i)->isSelected()) {
            index = i;
            break;
        }
    }
    if (index < 0 || (up && index == 0) || (!up && index == FileCount() - 1))
        return;
    lsvFileName_->setUpdatesEnabled(false);
    QTreeWidgetItem* item = lsvFileName_->takeTopLevelItem(index);
    const int target = up ? index - 1 : index + 1;
    lsvFileName_->insertTopLevelItem(target, item);
    // Taking the item out dropped its selection; the others keep theirs.
    item->setSelected(true);
    lsvFileName_->selectionModel()->setCurrentIndex(lsvFileName_->indexFromItem(item),
                                                    QItemSelectionModel::NoUpdate);
    lsvFileName_->setUpdatesEnabled(true);
    lsvFileName_->scrollToItem(item);
}

// ---------------------------------------------------------------------------
// Summary and media panel

void TFileListPanel::UpdateSummary()
{
    const int count = FileCount();
    if (count == 0)
        lblStatus_->setText(DisplayText(IDS_MAIN_LABEL_SummaryNoFile));
    else if (count == 1)
        lblStatus_->setText(DisplayText(IDS_MAIN_LABEL_SummaryOneFile));
    else
        lblStatus_->setText(DisplayText(FormatText(IDS_MAIN_LABEL_SummaryFile, {count})));
}

void TFileListPanel::ShowMediaFacts()
{
    auto* selected = static_cast<TFileListItem*>(FirstSelected());
    const std::string output = selected && OutputNameOf ? OutputNameOf(S(selected->text(0)), selected->Place) : "";
    // Below the output folder the name is shown from there: the part the
    // mirror or the template makes is what fits beside the link.
    std::string shown = output;
    const std::string folder = OutputFolder ? AddTrailingBackslash(OutputFolder()) : std::string();
    if (folder.size() > 1 && shown.rfind(folder, 0) == 0)
        shown = shown.substr(folder.size());
    lblOutputName_->setText(Q(FormatText(IDS_MAIN_LABEL_OutputName, {shown})));
    lblOutputName_->setToolTip(Q(output));
    lblOutputName_->setVisible(!output.empty());
    if (auto* item = selected) {
        for (const TFactRow& r : factRows_)
            r.Value->setText(Q(ReadableFactValue(r.Field, item->Info.*(r.Field))));
    } else {
        for (const TFactRow& r : factRows_)
            r.Value->setText(Q(IDS_None));
    }
    pnlMediaInfo_->setVisible(FileCount() > 0);
}

void TFileListPanel::ScheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, &TFileListPanel::RefreshListState);
}

void TFileListPanel::RefreshListState()
{
    refreshPending_ = false;
    UpdateSummary();
    ShowMediaFacts();
}
