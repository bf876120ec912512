#include "ui/common/QtText.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QString DisplayText(const std::string& text)
{
    QString s = Q(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

void CenterOver(QWidget* window, QWidget* owner)
{
    if (!window)
        return;
    const QSize size = window->frameGeometry().size();
    QRect area;
    if (owner && owner->window())
        area = owner->window()->frameGeometry();
    else if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    else
        return;
    // Integer division truncates toward zero, as the placement rule asks.
    const int left = area.left() + (area.width() - size.width()) / 2;
    const int top = area.top() + (area.height() - size.height()) / 2;
    window->move(left, top);
}

void FixClientSize(QWidget* window, int width, int height)
{
    window->adjustSize();
    const QSize size = QSize(std::max(width, TitleFitWidth(window->windowTitle())), height)
                           .expandedTo(window->sizeHint())
                           .expandedTo(window->minimumSizeHint());
    window->setFixedSize(size);
}

int TitleFitWidth(const QString& title)
{
    QString shown = title;
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && !title.isEmpty() && !title.endsWith(program))
        shown += QStringLiteral(" \u2014 ") + program;
    QFont font = QGuiApplication::font();
    font.setBold(true);
    return std::min(QFontMetrics(font).horizontalAdvance(shown) + 128, 640);
}
