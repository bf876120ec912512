#pragma once

// The file list of the main window with the media panel beside it and the
// summary line: adding, removing, ordering and selecting sources, and the
// state of each source (waiting, converting, converted, failed...).

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/FileState.h"
#include "engine/MediaInfo.h"
#include "engine/SourceFiles.h"

class QFont;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPoint;
class QTreeWidget;
class QThreadPool;
class QTreeWidgetItem;
class QWidget;
class TFileListItem;
struct TFactInbox;
class TQueueStore;

// The lines a value of the media panel shows at Width: the text wrapped at
// word boundaries (anywhere inside a longer word), at most MaxLines; when more
// would be needed, the last line holds the rest cut short in the middle with
// "…", and Cut (when given) becomes true.
QStringList FactLines(const QString& text, const QFont& font, int width, int maxLines, bool* cut = nullptr);

class TFileListPanel : public QObject {
    Q_OBJECT

public:
    // The controls are created on Window, which lays out Row() and Summary().
    explicit TFileListPanel(QWidget* window);
    ~TFileListPanel() override;

    // The list and the media panel side by side.
    QHBoxLayout* Row() const { return row_; }
    QLabel* Summary() const { return lblStatus_; }
    QTreeWidget* List() const { return lsvFileName_; }

    void ApplyTexts();

    // The stored list that follows every add, removal, move and clear of
    // this one; null for none.
    void SetStore(TQueueStore* store) { store_ = store; }
    // Lists the stored files again with their states (converted ones with
    // their output, failed ones with their reason). Files that are gone
    // leave the stored list too; their paths are returned.
    std::vector<std::string> RestoreStored();
    // Every listed path in list order.
    std::vector<std::string> FilePaths() const;

    // Files are listed at once (existing files with an accepted extension,
    // each path once); their media facts are read in the background and fill
    // in as they arrive. A file the facts show to be no media file leaves
    // the list again, with one message for all such files of a moment.
    void AddFile(const std::string& path, const TSourcePlace& place = {});
    // The sources below Folder (WalkSourceFolder), each with its place;
    // the output folder (OutputFolder()) inside it is passed over.
    void AddFolder(const std::string& folder);
    // The folder picker of "Add Folder...".
    void OpenFolderDialog();
    // The output folder as the window shows it now.
    std::function<std::string()> OutputFolder;
    // The output name of a listed source, shown under its facts; "" for none.
    std::function<std::string(const std::string& source, const TSourcePlace& place)> OutputNameOf;
    // Places: where a folder walk found each file (none for a file given by itself).
    void AddFiles(const std::vector<std::string>& paths, const std::vector<TSourcePlace>& places = {});
    // The item whose path equals Path exactly; nothing when absent.
    void RemoveFileByPath(const std::string& path);
    void MoveFileToEnd(const std::string& path);
    // Every change of a file's state goes through here. Text is the output
    // path for Converted and the reason for Failed. A converted file leaves
    // the list instead when the options say so (ClearConvertedFiles).
    void SetFileState(const std::string& path, TFileState state, const std::string& text = std::string());
    // The percent a converting file has reached (its row only; no state change).
    void SetFileProgress(const std::string& path, int percent);
    // Removes the converted and skipped files.
    void ClearFinished();
    void ClearFileList();
    void SelectListItem(int index);
    // Acts on the first selected item; up when up is true.
    void MoveListItem(bool up);
    void DeleteSelected();
    void SelectAll();
    void UpdateSummary();
    void ShowMediaFacts();
    // Files dropped from a file manager; a folder gives the sources below it.
    void DropFiles(const std::vector<std::string>& paths);
    // The open-files dialog; replace clears the list first.
    void OpenFilesDialog(bool replace);
    // Refreshes the summary and the media panel now.
    void RefreshListState();

    int FileCount() const;
    std::string FilePathAt(int index) const;
    const TFileItem* FileItemAt(int index) const;
    const TFileListItem* EntryAt(int index) const;
    TSourcePlace SourcePlaceAt(int index) const;
    int FileImageAt(int index) const;
    void SetFileImage(int index, int image);
    TFileState FileStateAt(int index) const;
    // The files a batch converts, in list order: waiting, failed, stopped
    // (and those converting while it runs); converted and skipped ones are
    // passed over.
    int ConvertibleCount() const;
    const TFileListItem* ConvertibleAt(int index) const;
    // Files whose media facts are still being read.
    int PendingFacts() const { return pendingFacts_; }
    // The widths of the columns as stored ("w0,w1,..."), and setting them
    // from such a text (a text that does not fit leaves the defaults).
    std::string ColumnWidths() const;
    void SetColumnWidths(const std::string& widths);
    // Sorts the list itself by Column, as moving rows would order it.
    void SortByColumn(int column, Qt::SortOrder order);
    std::vector<int> SelectedIndexes() const;
    // The facts of the first selected file; nothing when none is selected.
    const TFileItem* FirstSelectedItem() const;
    const TFileListItem* FirstSelectedEntry() const;

signals:
    // A right click on the list, at GlobalPos; HaveSelection tells which menu fits.
    void ContextMenuRequested(const QPoint& globalPos, bool haveSelection);
    // A double click on a file.
    void PlayRequested();
    // The media panel's "More Information..." link.
    void MoreInformationRequested();
    // A file's state changed (SetFileState); Text as given there.
    void FileStateChanged(const std::string& path, TFileState state, const std::string& text);
    // The last pending media facts have arrived.
    void FactsComplete();

private:
    void CreateList();
    void CreateMediaPanel();
    // Refreshes the summary, the media panel and its visibility once pending
    // events have run; many changes in a row give one refresh.
    void ScheduleRefresh();
    QTreeWidgetItem* FirstSelected() const;
    int IndexOfPath(const std::string& path) const;
    TFileListItem* ItemAt(int index) const;
    TFileListItem* ItemOfPath(const std::string& path) const;
    // Takes the item out of the list and the path index, and deletes it.
    void DeleteItem(TFileListItem* item);
    // Lists the files that exist with an accepted name and are not listed
    // yet; returns their full paths. Nothing is stored.
    std::vector<std::string> ListFiles(const std::vector<std::string>& paths,
                                       const std::vector<TSourcePlace>& places = {});
    std::vector<TWalkedFile> WalkFolder(const std::string& folder) const;
    void StoreRemoved(const std::vector<std::string>& paths);
    void StoreOrder();
    void ApplyState(TFileListItem* item);
    void HeaderClicked(int column);
    // Puts the media facts that have arrived on their rows (GUI thread).
    void TakeFacts();
    // Reads a file's facts on the pool; Extra: an early read of a file
    // whose queued read is still to come (not counted as pending).
    void ReadFacts(std::string path, bool extra);
    void ReportRefusedFiles();
    void InvalidateConvertible() { convertibleDirty_ = true; }

    // Media panel: caption labels and value labels.
    struct TFactRow {
        QLabel* Caption = nullptr;
        QLabel* Value = nullptr;
        std::string* CaptionText = nullptr;
        std::string TFileItem::* Field = nullptr;
    };

    QWidget* window_;
    QHBoxLayout* row_ = nullptr;
    QTreeWidget* lsvFileName_ = nullptr;
    QFrame* pnlMediaInfo_ = nullptr;
    std::vector<TFactRow> factRows_;
    QLabel* lblGeneral_ = nullptr;
    QLabel* lblVideo_ = nullptr;
    QLabel* lblAudio_ = nullptr;
    QLabel* lblMore_ = nullptr;
    QLabel* lblOutputName_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QString openFilter_;
    bool refreshPending_ = false;

    // Path -> item, for the lookups a batch makes per file.
    std::unordered_map<std::string, TFileListItem*> byPath_;
    mutable std::vector<TFileListItem*> convertible_;
    mutable bool convertibleDirty_ = true;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;

    // Background reading of the media facts.
    std::unique_ptr<QThreadPool> pool_;
    std::shared_ptr<TFactInbox> inbox_;
    int pendingFacts_ = 0;
    int factsTotal_ = 0;   // files submitted since the list last had none pending
    std::vector<std::string> refused_;
    bool reporting_ = false;
    TQueueStore* store_ = nullptr;
};
