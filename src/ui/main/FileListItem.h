#pragma once

#include <QTreeWidgetItem>

#include <cstdint>
#include <string>

#include "engine/FileState.h"
#include "engine/MediaInfo.h"
#include "engine/SourceFiles.h"
#include "ui/main/MainIcons.h"

// The columns of the file list.
enum TFileColumn : int { ColName = 0, ColFolder, ColDuration, ColSize, ColState, FileColumnCount };

// One entry of the file list: the full path of the source is its identity;
// the media facts travel with the item when it moves. The facts are read in
// the background and arrive after the item is listed (FactsKnown).
class TFileListItem : public QTreeWidgetItem {
public:
    TFileListItem(std::string path, TFileItem info, int64_t size)
        : Path(std::move(path)), Info(std::move(info)), Size(size)
    {
        setText(ColName, QString::fromStdString(Info.FileName));
        setText(ColFolder, QString::fromStdString(Info.FilePath));
        setToolTip(ColName, QString::fromStdString(Path));
        setToolTip(ColFolder, QString::fromStdString(Info.FilePath));
        setTextAlignment(ColDuration, Qt::AlignRight | Qt::AlignVCenter);
        setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
        SetImage(0);
    }
    // 0: normal; 1: the conversion of this source failed; 2: converted.
    void SetImage(int image)
    {
        Image = image;
        setIcon(ColName, FileListIcon(image));
    }

    // Sorting by a column: numbers by value, names without regard to case.
    bool operator<(const QTreeWidgetItem& other) const override;

    std::string Path;
    TFileItem Info;
    int64_t Size = 0;          // bytes, as found when the file was added
    int64_t DurationMs = -1;   // -1 until known (or when the file has none)
    bool FactsKnown = false;
    bool FactsAsked = false;   // an early read was asked for (the selected file)
    TFileState State = TFileState::Waiting;
    std::string OutputPath;    // a converted file's output
    std::string Reason;        // why a failed file failed
    int Image = 0;
    // Where a folder walk found the source; empty for a file added by itself.
    TSourcePlace Place;
};
