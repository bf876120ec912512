#pragma once

// Small pictures of the main window, drawn in code.

#include <QColor>
#include <QIcon>
#include <QString>

enum class TGlyph { Minimize, Help, Close, Open, Add, Remove, Clear, Up, Down, Convert };

// A line drawing of Glyph in Color.
QIcon GlyphIcon(TGlyph glyph, const QColor& color);
// The face of a format button: a small film frame with the format's name.
QIcon FormatIcon(const QString& name);
// Image 0: a source file; image 1: a source whose conversion failed;
// image 2: a source that was converted.
QIcon FileListIcon(int image);
// The program's icon (window and notification area).
QIcon AppIcon();
