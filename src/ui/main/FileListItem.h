#pragma once

#include <QTreeWidgetItem>

#include "engine/MediaInfo.h"
#include "engine/SourceFiles.h"
#include "ui/main/MainIcons.h"

// One entry of the file list: the caption is the full path of the source (its
// identity), the media facts travel with the item when it moves.
class TFileListItem : public QTreeWidgetItem {
public:
    TFileListItem(const QString& caption, TFileItem info) : Info(std::move(info))
    {
        setText(0, caption);
        setToolTip(0, caption);
        SetImage(0);
    }
    // 0: normal; 1: the conversion of this source failed.
    void SetImage(int image)
    {
        Image = image;
        setIcon(0, FileListIcon(image));
    }
    // The conversion of this source failed: the error image, and the reason
    // under the path as the tooltip (rich text, so that a long reason wraps
    // instead of running off the screen).
    void SetFailure(const QString& reason)
    {
        SetImage(1);
        const QString tip = reason.isEmpty() ? text(0) : text(0) + QLatin1Char('\n') + reason;
        setToolTip(0, QStringLiteral("<p style='white-space:pre-wrap'>") + tip.toHtmlEscaped() +
                          QStringLiteral("</p>"));
    }

    TFileItem Info;
    int Image = 0;
    // Where a folder walk found the source; empty for a file added by itself.
    TSourcePlace Place;
};
