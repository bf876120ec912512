#pragma once

// Conversions between the core's UTF-8 std::string texts and Qt strings, and
// window placement shared by every dialog.

#include <QString>
#include <string>

class QWidget;

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

// Catalogue texts keep Windows line breaks ("\r\n"); Qt labels want "\n".
QString DisplayText(const std::string& text);

// Places Window over the centre of Owner: top = owner top + (owner height -
// window height) / 2, left likewise, the division rounding toward zero. Without
// an owner the window is centred on its screen.
void CenterOver(QWidget* window, QWidget* owner);

// Gives a fixed-size window at least the given client size, more when its
// contents or its title need it (larger fonts, longer translations).
void FixClientSize(QWidget* window, int width, int height);

// The width a window needs for the window manager to show its whole title:
// the title as the title bar shows it (with the program's name that Qt
// appends), in a bold font, and room for the frame's icon and buttons; at
// most 640.
int TitleFitWidth(const QString& title);
