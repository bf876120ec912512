// The file list of the main window: adding, removing, ordering and
// selecting sources, the summary line and the media panel.

#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMimeData>
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

// ---------------------------------------------------------------------------

TFileListItem* TfrmMain::ItemAt(int index) const
{
    return static_cast<TFileListItem*>(lsvFileName_->topLevelItem(index));
}

int TfrmMain::FileCount() const
{
    return lsvFileName_->topLevelItemCount();
}

std::string TfrmMain::FilePathAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? S(item->text(0)) : std::string();
}

const TFileItem* TfrmMain::FileItemAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? &item->Info : nullptr;
}

int TfrmMain::FileImageAt(int index) const
{
    TFileListItem* item = ItemAt(index);
    return item ? item->Image : -1;
}

void TfrmMain::SetFileImage(int index, int image)
{
    if (TFileListItem* item = ItemAt(index))
        item->SetImage(image);
}

std::vector<int> TfrmMain::SelectedIndexes() const
{
    std::vector<int> result;
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->isSelected())
            result.push_back(i);
    return result;
}

QTreeWidgetItem* TfrmMain::FirstSelected() const
{
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->isSelected())
            return ItemAt(i);
    return nullptr;
}

int TfrmMain::IndexOfPath(const std::string& path) const
{
    const QString caption = Q(path);
    for (int i = 0; i < FileCount(); ++i)
        if (ItemAt(i)->text(0) == caption) // exact, letter case included
            return i;
    return -1;
}

// ---------------------------------------------------------------------------
// Adding

void TfrmMain::AddFile(const std::string& path)
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
        ShowMessageBox(this, FormatText(IDS_MESSAGEBOX_FormatError, {fullPath}), IDS_MESSAGEBOX_Error,
                       TMsgIcon::Information);
        return;
    }
    const std::string caption = AddTrailingBackslash(facts.FilePath) + facts.FileName;
    lsvFileName_->addTopLevelItem(new TFileListItem(Q(caption), std::move(facts)));
}

void TfrmMain::AddFiles(const std::vector<std::string>& paths)
{
    for (const std::string& p : paths)
        AddFile(p);
    lsvFileName_->viewport()->update();
}

void TfrmMain::OpenFilesDialog(bool replace)
{
    const std::vector<std::string> files =
        ChooseOpenFiles(this, IDS_MAIN_MENUITEM_AddFiles, Options.LastInputOpenDir, S(openFilter_));
    if (files.empty())
        return;
    TBusyCursor busy;
    if (replace)
        ClearFileList();
    AddFiles(files);
    SelectListItem(FileCount());
    Options.LastInputOpenDir = AddTrailingBackslash(S(QFileInfo(Q(files.front())).absolutePath()));
}

void TfrmMain::DropFiles(const std::vector<std::string>& paths)
{
    TBusyCursor busy;
    for (const std::string& p : paths) {
        if (QFileInfo(Q(p)).isDir())
            continue; // folders are not searched
        AddFile(p);
    }
    UpdateSummary();
    SelectListItem(FileCount());
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
// Removing and ordering

void TfrmMain::RemoveFileByPath(const std::string& path)
{
    const int index = IndexOfPath(path);
    if (index < 0)
        return;
    delete lsvFileName_->takeTopLevelItem(index);
    ScheduleRefresh();
}

void TfrmMain::MoveFileToEnd(const std::string& path)
{
    const int index = IndexOfPath(path);
    if (index < 0)
        return;
    lsvFileName_->setUpdatesEnabled(false);
    QTreeWidgetItem* item = lsvFileName_->takeTopLevelItem(index);
    lsvFileName_->addTopLevelItem(item);
    lsvFileName_->setUpdatesEnabled(true);
}

void TfrmMain::DeleteSelected()
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

void TfrmMain::ClearFileList()
{
    lsvFileName_->setUpdatesEnabled(false);
    lsvFileName_->clear();
    lsvFileName_->setUpdatesEnabled(true);
    UpdateSummary();
}

void TfrmMain::SelectAll()
{
    lsvFileName_->selectAll();
}

void TfrmMain::SelectListItem(int index)
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

void TfrmMain::MoveListItem(bool up)
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

void TfrmMain::UpdateSummary()
{
    const int count = FileCount();
    if (count == 0)
        lblStatus_->setText(DisplayText(IDS_MAIN_LABEL_SummaryNoFile));
    else if (count == 1)
        lblStatus_->setText(DisplayText(IDS_MAIN_LABEL_SummaryOneFile));
    else
        lblStatus_->setText(DisplayText(FormatText(IDS_MAIN_LABEL_SummaryFile, {count})));
}

void TfrmMain::ShowMediaFacts()
{
    if (auto* item = static_cast<TFileListItem*>(FirstSelected())) {
        for (const TFactRow& r : factRows_)
            r.Value->setText(Q(item->Info.*(r.Field)));
    } else {
        for (const TFactRow& r : factRows_)
            r.Value->setText(Q(IDS_None));
    }
    pnlMediaInfo_->setVisible(FileCount() > 0);
}

void TfrmMain::ScheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, &TfrmMain::RefreshListState);
}

void TfrmMain::RefreshListState()
{
    refreshPending_ = false;
    UpdateSummary();
    ShowMediaFacts();
}
