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
#include <QLocale>
#include <QPainter>
#include <QResizeEvent>
#include <QTextLayout>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "engine/QueueStore.h"
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

// What the background readers hand to the list: the facts of each file as
// they are read. Shared with the readers, so that a reader still running
// when the list goes finds it and drops its result.
struct TFactInbox {
    std::mutex Lock;
    struct TArrival {
        std::string Path;
        TFileItem Facts;
        bool Extra = false; // an early read for the selected file, beside its queued one
    };
    std::vector<TArrival> Arrived;
    bool Posted = false;          // a TakeFacts call is on its way
    std::atomic<bool> Cancelled{false};
};

namespace {

constexpr int ListWidth = 451;
constexpr int MediaPanelWidth = 265;
// Name, folder, duration, size, state.
// The last column takes the room that is left (at least its own width).
constexpr int DefaultColumnWidths[FileColumnCount] = {150, 100, 56, 60, 50};

// "0:01:30" from a play time the library gives as "00:01:30.500"; the
// milliseconds in Ms (-1 when the text is no time).
QString ShortDuration(const std::string& playTime, int64_t* ms)
{
    *ms = -1;
    const QString text = QString::fromStdString(playTime);
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return QString();
    bool okH = false, okM = false, okS = false;
    const int h = parts[0].toInt(&okH);
    const int m = parts[1].toInt(&okM);
    const double sec = parts[2].toDouble(&okS);
    if (!okH || !okM || !okS || h < 0 || m < 0 || sec < 0)
        return QString();
    *ms = (static_cast<int64_t>(h) * 3600 + m * 60) * 1000 + static_cast<int64_t>(sec * 1000 + 0.5);
    const int64_t whole = (*ms + 500) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// Names compared as people read them: runs of digits by their value ("clip 2"
// before "clip 10"), other text without regard to letter case.
int NaturalCompare(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Leading zeros aside, a longer run is a larger number.
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si] == QLatin1Char('0'))
                ++si;
            while (sj + 1 < ej && b[sj] == QLatin1Char('0'))
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
            if (c != 0)
                return c;
            i = ei;
            j = ej;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return QString::compare(a, b); // equal but for case or leading zeros: still a fixed order
}

QString SizeText(int64_t bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
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

TFileListPanel::TFileListPanel(QWidget* window)
    : window_(window), pool_(std::make_unique<QThreadPool>()), inbox_(std::make_shared<TFactInbox>())
{
    // At most one reader per core: the rest of the machine stays usable.
    pool_->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
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
    connect(lsvFileName_->header(), &QHeaderView::sectionClicked, this, &TFileListPanel::HeaderClicked);
    connect(lblMore_, &QLabel::linkActivated, this, &TFileListPanel::MoreInformationRequested);
}

TFileListPanel::~TFileListPanel()
{
    // Readers still queued are dropped; running ones finish their file and
    // find the inbox cancelled.
    inbox_->Cancelled = true;
    pool_->clear();
    pool_->waitForDone();
    // The list and its model report their own teardown (selection and reset
    // signals) while the window deletes its children, after this panel is
    // gone: cut those connections first.
    lsvFileName_->model()->disconnect(this);
    lsvFileName_->header()->disconnect(this);
    lsvFileName_->disconnect(this);
}

void TFileListPanel::CreateList()
{
    lsvFileName_ = NewNamed<QTreeWidget>(window_, "lsvFileName");
    lsvFileName_->setColumnCount(FileColumnCount);
    lsvFileName_->setRootIsDecorated(false);
    lsvFileName_->setUniformRowHeights(true);
    lsvFileName_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lsvFileName_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lsvFileName_->setIconSize(QSize(20, 18));
    lsvFileName_->setContextMenuPolicy(Qt::CustomContextMenu);
    lsvFileName_->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = lsvFileName_->header();
    header->setStretchLastSection(true);
    header->setSectionsMovable(false);
    // A click on a caption sorts the list once; later additions go to the end.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    for (int c = 0; c < FileColumnCount; ++c)
        lsvFileName_->setColumnWidth(c, DefaultColumnWidths[c]);
    lsvFileName_->setMinimumWidth(ListWidth / 2);
    lsvFileName_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    row_->addWidget(lsvFileName_, 1);
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
    pnlMediaInfo_->setFixedWidth(MediaPanelWidth);
    row_->addWidget(pnlMediaInfo_);
}

void TFileListPanel::ApplyTexts()
{
    lblGeneral_->setText(DisplayText(IDS_MAIN_LABEL_General));
    lblVideo_->setText(DisplayText(IDS_MAIN_LABEL_Video));
    lblAudio_->setText(DisplayText(IDS_MAIN_LABEL_Audio));
    for (const TFactRow& r : factRows_)
        r.Caption->setText(DisplayText(*r.CaptionText));
    lsvFileName_->setHeaderLabels({DisplayText(IDS_MAIN_COLUMN_Name), DisplayText(IDS_MAIN_COLUMN_Folder),
                                   DisplayText(IDS_MAIN_COLUMN_Duration), DisplayText(IDS_MAIN_COLUMN_Size),
                                   DisplayText(IDS_MAIN_COLUMN_State)});
    lsvFileName_->headerItem()->setTextAlignment(ColDuration, Qt::AlignRight | Qt::AlignVCenter);
    lsvFileName_->headerItem()->setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
    // The state texts follow the language.
    lsvFileName_->setUpdatesEnabled(false);
    for (int i = 0; i < FileCount(); ++i)
        ApplyState(ItemAt(i));
    lsvFileName_->setUpdatesEnabled(true);
    openFilter_ = OpenDialogFilter();
    UpdateSummary();
}

std::string TFileListPanel::ColumnWidths() const
{
    std::string text;
    for (int c = 0; c < FileColumnCount; ++c)
        text += (c ? "," : "") + std::to_string(lsvFileName_->columnWidth(c));
    return text;
}

void TFileListPanel::SetColumnWidths(const std::string& widths)
{
    const QStringList parts = Q(widths).split(QLatin1Char(','));
    if (parts.size() != FileColumnCount)
        return;
    int values[FileColumnCount];
    for (int c = 0; c < FileColumnCount; ++c) {
        bool ok = false;
        values[c] = parts[c].trimmed().toInt(&ok);
        if (!ok || values[c] < 8 || values[c] > 4000)
            return;
    }
    // The last column keeps filling the rest, so that it shrinks with the window.
    for (int c = 0; c < FileColumnCount - 1; ++c)
        lsvFileName_->setColumnWidth(c, values[c]);
}

const TFileItem* TFileListPanel::FirstSelectedItem() const
{
    auto* item = static_cast<TFileListItem*>(FirstSelected());
    return item ? &item->Info : nullptr;
}

const TFileListItem* TFileListPanel::FirstSelectedEntry() const
{
    return static_cast<TFileListItem*>(FirstSelected());
}

// ---------------------------------------------------------------------------

bool TFileListItem::operator<(const QTreeWidgetItem& other) const
{
    const auto& o = static_cast<const TFileListItem&>(other);
    const int column = treeWidget() ? treeWidget()->sortColumn() : ColName;
    auto byName = [&] {
        const int c = NaturalCompare(text(ColName), o.text(ColName));
        return c != 0 ? c < 0 : Path < o.Path;
    };
    switch (column) {
    case ColFolder: {
        const int c = NaturalCompare(Q(Info.FilePath), Q(o.Info.FilePath));
        return c != 0 ? c < 0 : byName();
    }
    case ColDuration: return DurationMs != o.DurationMs ? DurationMs < o.DurationMs : byName();
    case ColSize: return Size != o.Size ? Size < o.Size : byName();
    case ColState: return State != o.State ? State < o.State : byName();
    default: return byName();
    }
}

TFileListItem* TFileListPanel::ItemAt(int index) const
{
    return static_cast<TFileListItem*>(lsvFileName_->topLevelItem(index));
}

TFileListItem* TFileListPanel::ItemOfPath(const std::string& path) const
{
    const auto it = byPath_.find(path);
    return it == byPath_.end() ? nullptr : it->second;
}

int TFileListPanel::FileCount() const
{
    return lsvFileName_->topLevelItemCount();
}

std::string TFileListPanel::FilePathAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? item->Path : std::string();
}

const TFileItem* TFileListPanel::FileItemAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? &item->Info : nullptr;
}

const TFileListItem* TFileListPanel::EntryAt(int index) const
{
    return ItemAt(index);
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

TFileState TFileListPanel::FileStateAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? item->State : TFileState::Waiting;
}

int TFileListPanel::ConvertibleCount() const
{
    if (convertibleDirty_) {
        convertible_.clear();
        for (int i = 0; i < FileCount(); ++i) {
            TFileListItem* item = ItemAt(i);
            if (item->State != TFileState::Converted && item->State != TFileState::Skipped)
                convertible_.push_back(item);
        }
        convertibleDirty_ = false;
    }
    return static_cast<int>(convertible_.size());
}

const TFileListItem* TFileListPanel::ConvertibleAt(int index) const
{
    if (index < 0 || index >= ConvertibleCount())
        return nullptr;
    return convertible_[static_cast<size_t>(index)];
}

std::vector<int> TFileListPanel::SelectedIndexes() const
{
    std::vector<int> result;
    for (const QModelIndex& index : lsvFileName_->selectionModel()->selectedRows())
        result.push_back(index.row());
    std::sort(result.begin(), result.end());
    return result;
}

QTreeWidgetItem* TFileListPanel::FirstSelected() const
{
    const std::vector<int> selected = SelectedIndexes();
    return selected.empty() ? nullptr : ItemAt(selected.front());
}

int TFileListPanel::IndexOfPath(const std::string& path) const
{
    TFileListItem* item = ItemOfPath(path); // exact, letter case included
    return item ? lsvFileName_->indexOfTopLevelItem(item) : -1;
}

// ---------------------------------------------------------------------------
// Adding

void TFileListPanel::AddFile(const std::string& path, const TSourcePlace& place)
{
    AddFiles({path}, {place});
}

void TFileListPanel::AddFiles(const std::vector<std::string>& paths, const std::vector<TSourcePlace>& places)
{
    const std::vector<std::string> added = ListFiles(paths, places);
    // One add command is one transaction of the stored list.
    if (store_ && !added.empty()) {
        std::vector<TSourcePlace> addedPlaces;
        addedPlaces.reserve(added.size());
        for (const std::string& p : added)
            addedPlaces.push_back(ItemOfPath(p)->Place);
        store_->Add(added, addedPlaces);
    }
}

std::vector<std::string> TFileListPanel::ListFiles(const std::vector<std::string>& paths,
                                                   const std::vector<TSourcePlace>& places)
{
    // Only what the file system says at once is checked here; the media
    // facts (milliseconds per file) are read by the pool.
    QList<QTreeWidgetItem*> items;
    std::vector<std::string> added;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& p = paths[i];
        const QFileInfo info(Q(p));
        if (!info.exists() || info.isDir())
            continue;
        const std::string fullPath = S(info.absoluteFilePath());
        if (!IsAcceptedSourceName(fullPath) || byPath_.count(fullPath))
            continue;
        TFileItem facts;
        facts.FileName = S(info.fileName());
        facts.FilePath = AddTrailingBackslash(S(info.absolutePath()));
        facts.FileSize = std::to_string(info.size());
        auto* item = new TFileListItem(fullPath, std::move(facts), info.size());
        if (i < places.size())
            item->Place = places[i];
        item->setText(ColSize, SizeText(item->Size));
        byPath_.emplace(fullPath, item);
        items.append(item);
        added.push_back(fullPath);
        ApplyState(item);
        QueueKillPoint("add");
    }
    if (items.isEmpty())
        return added;
    lsvFileName_->addTopLevelItems(items);
    InvalidateConvertible();

    // The library is loaded here, on this thread, so that a missing one is
    // reported once from here rather than from a reader.
    MediaInfoLibrary();
    if (pendingFacts_ == 0)
        factsTotal_ = 0;
    pendingFacts_ += static_cast<int>(added.size());
    factsTotal_ += static_cast<int>(added.size());
    for (const std::string& p : added)
        ReadFacts(p, false);
    ScheduleRefresh();
    return added;
}

std::vector<std::string> TFileListPanel::FilePaths() const
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(FileCount()));
    for (int i = 0; i < FileCount(); ++i)
        paths.push_back(FilePathAt(i));
    return paths;
}

std::vector<std::string> TFileListPanel::RestoreStored()
{
    std::vector<std::string> lost;
    if (!store_)
        return lost;
    const std::vector<TQueueEntry> entries = store_->Entries();
    std::vector<std::string> paths;
    std::vector<TSourcePlace> places;
    paths.reserve(entries.size());
    places.reserve(entries.size());
    for (const TQueueEntry& e : entries)
        if (e.State != TFileState::Converted || !Options.ClearConvertedFiles) {
            paths.push_back(e.Path);
            places.push_back(e.Place);
        }
    ListFiles(paths, places);
    std::vector<std::string> gone;
    for (const TQueueEntry& e : entries) {
        TFileListItem* item = ItemOfPath(e.Path);
        if (!item) {
            // Converted files that the options clear away leave silently.
            if (e.State != TFileState::Converted || !Options.ClearConvertedFiles)
                lost.push_back(e.Path);
            gone.push_back(e.Path);
            continue;
        }
        switch (e.State) {
        case TFileState::Converted: SetFileState(e.Path, e.State, e.Output); break;
        case TFileState::Failed: SetFileState(e.Path, e.State, e.Reason); break;
        case TFileState::Skipped: SetFileState(e.Path, e.State, e.Reason); break;
        case TFileState::Stopped: SetFileState(e.Path, e.State); break;
        default: break; // waiting (a converting file was settled when the store opened)
        }
    }
    store_->Remove(gone);
    return lost;
}

void TFileListPanel::StoreRemoved(const std::vector<std::string>& paths)
{
    if (store_ && !paths.empty())
        store_->Remove(paths);
}

void TFileListPanel::StoreOrder()
{
    if (store_)
        store_->SetOrder(FilePaths());
}

void TFileListPanel::ReadFacts(std::string path, bool extra)
{
    std::shared_ptr<TFactInbox> inbox = inbox_;
    // An extra read (the selected file) goes before the queued ones.
    pool_->start(
        [this, inbox, path = std::move(path), extra] {
            if (inbox->Cancelled)
                return;
            TFileItem facts = ProbeFileItem(path);
            std::lock_guard<std::mutex> lock(inbox->Lock);
            if (inbox->Cancelled)
                return;
            inbox->Arrived.push_back({path, std::move(facts), extra});
            if (!inbox->Posted) {
                inbox->Posted = true;
                QMetaObject::invokeMethod(this, &TFileListPanel::TakeFacts, Qt::QueuedConnection);
            }
        },
        extra ? 1 : 0);
}

void TFileListPanel::TakeFacts()
{
    std::vector<TFactInbox::TArrival> arrived;
    {
        std::lock_guard<std::mutex> lock(inbox_->Lock);
        arrived.swap(inbox_->Arrived);
        inbox_->Posted = false;
    }
    for (const TFactInbox::TArrival& a : arrived)
        if (!a.Extra)
            --pendingFacts_;
    pendingFacts_ = std::max(0, pendingFacts_);
    const TFileListItem* selected = FirstSelectedEntry();
    bool refreshFacts = false;
    lsvFileName_->setUpdatesEnabled(false);
    for (TFactInbox::TArrival& a : arrived) {
        const std::string& path = a.Path;
        TFileItem& facts = a.Facts;
        TFileListItem* item = ItemOfPath(path);
        if (!item || item->FactsKnown)
            continue; // removed (or listed again) meanwhile
        if (!MediaFileDescribed(facts)) {
            refused_.push_back(path);
            StoreRemoved({path});
            DeleteItem(item);
            continue;
        }
        item->Info = std::move(facts);
        item->FactsKnown = true;
        int64_t ms = -1;
        item->setText(ColDuration, ShortDuration(item->Info.PlayTime, &ms));
        item->DurationMs = ms;
        refreshFacts = refreshFacts || item == selected;
    }
    lsvFileName_->setUpdatesEnabled(true);
    if (refreshFacts || !refused_.empty())
        ScheduleRefresh();
    else
        UpdateSummary();
    if (pendingFacts_ == 0)
        emit FactsComplete();
    ReportRefusedFiles();
}

void TFileListPanel::ReportRefusedFiles()
{
    // One message at a time: files refused while it is open join the next.
    if (reporting_ || refused_.empty())
        return;
    reporting_ = true;
    while (!refused_.empty()) {
        std::vector<std::string> names;
        names.swap(refused_);
        std::string text;
        if (names.size() == 1) {
            text = FormatText(IDS_MESSAGEBOX_FormatError, {names.front()});
        } else {
            constexpr size_t MaxNamed = 20;
            text = IDS_MESSAGEBOX_FormatErrors + "\n";
            for (size_t i = 0; i < names.size() && i < MaxNamed; ++i)
                text += "\n" + names[i];
            if (names.size() > MaxNamed)
                text += "\n(+" + std::to_string(names.size() - MaxNamed) + ")";
        }
        ShowMessageBox(window_, text, IDS_MESSAGEBOX_Error, TMsgIcon::Information);
    }
    reporting_ = false;
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

std::vector<TWalkedFile> TFileListPanel::WalkFolder(const std::string& folder) const
{
    const std::string output = OutputFolder ? OutputFolder() : std::string();
    return WalkSourceFolder(S(QFileInfo(Q(folder)).absoluteFilePath()), {output});
}

void TFileListPanel::AddFolder(const std::string& folder)
{
    std::vector<std::string> files;
    std::vector<TSourcePlace> places;
    for (TWalkedFile& file : WalkFolder(folder)) {
        files.push_back(std::move(file.Path));
        places.push_back(std::move(file.Place));
    }
    AddFiles(files, places);
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
    std::vector<std::string> files;
    std::vector<TSourcePlace> places;
    files.reserve(paths.size());
    for (const std::string& p : paths) {
        if (QFileInfo(Q(p)).isDir()) {
            for (TWalkedFile& file : WalkFolder(p)) {
                files.push_back(std::move(file.Path));
                places.push_back(std::move(file.Place));
            }
        } else {
            files.push_back(p);
            places.emplace_back();
        }
    }
    AddFiles(files, places);
    UpdateSummary();
    SelectListItem(FileCount());
}

// ---------------------------------------------------------------------------
// Removing and ordering

void TFileListPanel::DeleteItem(TFileListItem* item)
{
    byPath_.erase(item->Path);
    delete item; // takes itself out of the list
    InvalidateConvertible();
}

void TFileListPanel::RemoveFileByPath(const std::string& path)
{
    TFileListItem* item = ItemOfPath(path);
    if (!item)
        return;
    DeleteItem(item);
    StoreRemoved({path});
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
    InvalidateConvertible();
    if (store_)
        store_->MoveToEnd(path);
}

void TFileListPanel::ApplyState(TFileListItem* item)
{
    QString text;
    QString tip;
    int image = 0;
    switch (item->State) {
    case TFileState::Waiting: text = DisplayText(IDS_MAIN_STATE_Waiting); break;
    case TFileState::Converting: text = DisplayText(FormatText(IDS_MAIN_STATE_Converting, {std::string("0%")})); break;
    case TFileState::Converted:
        image = 2;
        text = QFileInfo(Q(item->OutputPath)).fileName();
        tip = Q(item->OutputPath);
        break;
    case TFileState::Failed: {
        image = 1;
        const QString reason = Q(item->Reason);
        text = reason.isEmpty() ? DisplayText(IDS_MAIN_STATE_Failed) : reason.section(QLatin1Char('\n'), 0, 0);
        tip = reason;
        break;
    }
    case TFileState::Skipped:
        text = DisplayText(IDS_MAIN_STATE_Skipped);
        tip = Q(item->Reason);
        break;
    case TFileState::Stopped: text = DisplayText(IDS_MAIN_STATE_Stopped); break;
    }
    item->SetImage(image);
    item->setText(ColState, text);
    item->setToolTip(ColState, tip.isEmpty() ? text : tip);
    // The name's tool tip: the path, and under it why the file failed (rich
    // text, so that a long reason wraps instead of running off the screen).
    const QString path = Q(item->Path);
    if (item->State == TFileState::Failed && !tip.isEmpty())
        item->setToolTip(ColName, QStringLiteral("<p style='white-space:pre-wrap'>") +
                                      (path + QLatin1Char('\n') + tip).toHtmlEscaped() + QStringLiteral("</p>"));
    else
        item->setToolTip(ColName, path);
}

void TFileListPanel::SetFileState(const std::string& path, TFileState state, const std::string& text)
{
    TFileListItem* item = ItemOfPath(path);
    if (!item)
        return;
    item->State = state;
    item->OutputPath = state == TFileState::Converted ? text : std::string();
    item->Reason = state == TFileState::Failed || state == TFileState::Skipped ? text : std::string();
    InvalidateConvertible();
    emit FileStateChanged(path, state, text);
    if (state == TFileState::Converted && Options.ClearConvertedFiles) {
        RemoveFileByPath(path);
        return;
    }
    ApplyState(item);
    ScheduleRefresh();
}

void TFileListPanel::SetFileProgress(const std::string& path, int percent)
{
    TFileListItem* item = ItemOfPath(path);
    if (!item || item->State != TFileState::Converting)
        return;
    const QString text = DisplayText(
        FormatText(IDS_MAIN_STATE_Converting, {std::to_string(std::clamp(percent, 0, 100)) + "%"}));
    if (item->text(ColState) != text)
        item->setText(ColState, text);
}

void TFileListPanel::ClearFinished()
{
    std::vector<std::string> removed;
    lsvFileName_->setUpdatesEnabled(false);
    for (int i = FileCount() - 1; i >= 0; --i) {
        TFileListItem* item = ItemAt(i);
        if (item->State == TFileState::Converted || item->State == TFileState::Skipped) {
            removed.push_back(item->Path);
            DeleteItem(item);
        }
    }
    lsvFileName_->setUpdatesEnabled(true);
    StoreRemoved(removed);
    ScheduleRefresh();
}

void TFileListPanel::DeleteSelected()
{
    const std::vector<int> selected = SelectedIndexes();
    if (selected.empty())
        return;
    std::vector<std::string> removed;
    lsvFileName_->setUpdatesEnabled(false);
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        removed.push_back(ItemAt(*it)->Path);
        DeleteItem(ItemAt(*it));
    }
    lsvFileName_->setUpdatesEnabled(true);
    StoreRemoved(removed);
    SelectListItem(selected.front());
    ScheduleRefresh();
}

void TFileListPanel::ClearFileList()
{
    // Facts still being read are for files no longer listed: drop them.
    inbox_->Cancelled = true;
    pool_->clear();
    inbox_ = std::make_shared<TFactInbox>();
    pendingFacts_ = 0;
    factsTotal_ = 0;
    lsvFileName_->setUpdatesEnabled(false);
    lsvFileName_->clear();
    lsvFileName_->setUpdatesEnabled(true);
    byPath_.clear();
    InvalidateConvertible();
    if (store_)
        store_->Clear();
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
    const std::vector<int> selected = SelectedIndexes();
    if (selected.empty())
        return;
    const int index = selected.front();
    if ((up && index == 0) || (!up && index == FileCount() - 1))
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
    InvalidateConvertible();
    StoreOrder();
}

void TFileListPanel::HeaderClicked(int column)
{
    // A second click on the same caption reverses the order.
    const Qt::SortOrder order = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                          : Qt::AscendingOrder;
    SortByColumn(column, order);
}

void TFileListPanel::SortByColumn(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= FileColumnCount)
        return;
    sortColumn_ = column;
    sortOrder_ = order;
    // Sorted once: the list is not kept sorted, so that later additions go
    // to its end and rows can be moved as before.
    lsvFileName_->sortItems(column, order);
    lsvFileName_->header()->setSortIndicatorShown(true);
    lsvFileName_->header()->setSortIndicator(column, order);
    InvalidateConvertible();
    StoreOrder();
    if (QTreeWidgetItem* current = FirstSelected())
        lsvFileName_->scrollToItem(current);
}

// ---------------------------------------------------------------------------
// Summary and media panel

void TFileListPanel::UpdateSummary()
{
    const int count = FileCount();
    QString text;
    if (count == 0)
        text = DisplayText(IDS_MAIN_LABEL_SummaryNoFile);
    else if (count == 1)
        text = DisplayText(IDS_MAIN_LABEL_SummaryOneFile);
    else
        text = DisplayText(FormatText(IDS_MAIN_LABEL_SummaryFile, {count}));
    if (pendingFacts_ > 0 && factsTotal_ > 0)
        text += QStringLiteral(" (") +
                DisplayText(FormatText(IDS_MAIN_LABEL_SummaryReading, {factsTotal_ - pendingFacts_, factsTotal_})) +
                QLatin1Char(')');
    lblStatus_->setText(text);
}

void TFileListPanel::ShowMediaFacts()
{
    auto* selected = static_cast<TFileListItem*>(FirstSelected());
    const std::string output = selected && OutputNameOf ? OutputNameOf(selected->Path, selected->Place) : "";
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
        // The selected file's facts are wanted now: read them before the queued ones.
        if (!item->FactsKnown && !item->FactsAsked) {
            item->FactsAsked = true;
            ReadFacts(item->Path, true);
        }
        for (const TFactRow& r : factRows_) {
            // Until its facts are read a file shows its name and "…".
            const bool known = item->FactsKnown || r.Field == &TFileItem::CompleteName;
            const std::string value = item->FactsKnown ? item->Info.*(r.Field) : item->Path;
            r.Value->setText(known ? Q(ReadableFactValue(r.Field, value)) : Q(IDS_SuspensionPoint));
        }
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
