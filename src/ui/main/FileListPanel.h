#pragma once

// The file list of the main window with the media panel beside it and the
// summary line: adding, removing, ordering and selecting sources.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "engine/MediaInfo.h"
#include "engine/SourceFiles.h"

class QFont;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TFileListItem;

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
    void AddFiles(const std::vector<std::string>& paths);
    // The item whose caption equals the path exactly; nothing when absent.
    void RemoveFileByPath(const std::string& path);
    void MoveFileToEnd(const std::string& path);
    // The conversion of the item whose caption equals the path failed for Reason.
    void SetFileFailure(const std::string& path, const std::string& reason);
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
    TSourcePlace SourcePlaceAt(int index) const;
    int FileImageAt(int index) const;
    void SetFileImage(int index, int image);
    std::vector<int> SelectedIndexes() const;
    // The facts of the first selected file; nothing when none is selected.
    const TFileItem* FirstSelectedItem() const;

signals:
    // A right click on the list, at GlobalPos; HaveSelection tells which menu fits.
    void ContextMenuRequested(const QPoint& globalPos, bool haveSelection);
    // A double click on a file.
    void PlayRequested();
    // The media panel's "More Information..." link.
    void MoreInformationRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateList();
    void CreateMediaPanel();
    // Refreshes the summary, the media panel and its visibility once pending
    // events have run; many changes in a row give one refresh.
    void ScheduleRefresh();
    QTreeWidgetItem* FirstSelected() const;
    int IndexOfPath(const std::string& path) const;
    TFileListItem* ItemAt(int index) const;

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
};
