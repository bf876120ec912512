#include "ui/main/MainIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

#include "ui/common/Artwork.h"

namespace {

constexpr int GlyphSize = 32;

QPixmap Canvas(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

} // namespace

QIcon GlyphIcon(TGlyph glyph, const QColor& color)
{
    QPixmap pm = Canvas(GlyphSize, GlyphSize);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const double c = GlyphSize / 2.0;
    switch (glyph) {
    case TGlyph::Minimize:
        p.drawLine(QPointF(8, 22), QPointF(24, 22));
        break;
    case TGlyph::Close:
        p.drawLine(QPointF(9, 9), QPointF(23, 23));
        p.drawLine(QPointF(23, 9), QPointF(9, 23));
        break;
    case TGlyph::Help: {
        p.drawEllipse(QPointF(c, c), 12, 12);
        QFont f = p.font();
        f.setPixelSize(17);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, GlyphSize, GlyphSize), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case TGlyph::Open: {
        QPainterPath folder;
        folder.moveTo(4, 9);
        folder.lineTo(12, 9);
        folder.lineTo(15, 12);
        folder.lineTo(28, 12);
        folder.lineTo(28, 26);
        folder.lineTo(4, 26);
        folder.closeSubpath();
        p.setBrush(QColor(color.red(), color.green(), color.blue(), 60));
        p.drawPath(folder);
        break;
    }
    case TGlyph::Add:
        p.drawLine(QPointF(c, 7), QPointF(c, 25));
        p.drawLine(QPointF(7, c), QPointF(25, c));
        break;
    case TGlyph::Remove:
        p.drawLine(QPointF(7, c), QPointF(25, c));
        break;
    case TGlyph::Clear: {
        p.drawRect(QRectF(9, 10, 14, 17));
        p.drawLine(QPointF(6, 10), QPointF(26, 10));
        p.drawLine(QPointF(13, 6), QPointF(19, 6));
        p.drawLine(QPointF(13.5, 14), QPointF(13.5, 23));
        p.drawLine(QPointF(18.5, 14), QPointF(18.5, 23));
        break;
    }
    case TGlyph::Up:
    case TGlyph::Down: {
        const bool up = glyph == TGlyph::Up;
        const double tip = up ? 7 : 25;
        const double base = up ? 17 : 15;
        p.drawLine(QPointF(c, tip), QPointF(c, up ? 25 : 7));
        p.drawLine(QPointF(c, tip), QPointF(8, base));
        p.drawLine(QPointF(c, tip), QPointF(24, base));
        break;
    }
    case TGlyph::Convert: {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        QPainterPath play;
        play.moveTo(9, 6);
        play.lineTo(26, c);
        play.lineTo(9, 26);
        play.closeSubpath();
        p.drawPath(play);
        break;
    }
    }
    return QIcon(pm);
}

QIcon FormatIcon(const QString& name)
{
    // Each format keeps the same colour wherever it is drawn.
    static const std::array<QColor, 6> colors = {QColor(0x2f, 0x6f, 0xd0), QColor(0x1e, 0x9e, 0x8a),
                                                 QColor(0xd0, 0x6a, 0x2f), QColor(0x8a, 0x4f, 0xc9),
                                                 QColor(0xc9, 0x3f, 0x5a), QColor(0x5a, 0x6e, 0x86)};
    const QColor color = colors[static_cast<size_t>(qHash(name) % colors.size())];
    QPixmap pm = Canvas(68, 52);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(2, 4, 64, 44), 7, 7);
    // Film perforations along both edges.
    p.setBrush(QColor(255, 255, 255, 170));
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF(8 + i * 10, 7, 5, 4));
        p.drawRect(QRectF(8 + i * 10, 41, 5, 4));
    }
    QFont f = p.font();
    f.setPixelSize(name.size() > 3 ? 15 : 18);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 4, 64, 44), Qt::AlignCenter, name);
    p.end();
    // A disabled format button marks the chosen format: keep its colours.
    QIcon icon(pm);
    icon.addPixmap(pm, QIcon::Disabled);
    return icon;
}

QIcon FileListIcon(int image)
{
    static const QIcon icons[3] = {
        [] {
            QPixmap pm = Canvas(20, 18);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(0x34, 0x48, 0x66), 1.2));
            p.setBrush(QColor(0xe7, 0xee, 0xfa));
            p.drawRoundedRect(QRectF(2.5, 2.5, 15, 13), 2, 2);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x2f, 0x6f, 0xd0));
            QPainterPath play;
            play.moveTo(8, 5.5);
            play.lineTo(14, 9);
            play.lineTo(8, 12.5);
            play.closeSubpath();
            p.drawPath(play);
            return QIcon(pm);
        }(),
        [] {
            QPixmap pm = Canvas(20, 18);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xc9, 0x2a, 0x2a));
            p.drawEllipse(QRectF(2, 1, 16, 16));
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 4.5), QPointF(10, 10.5));
            p.drawPoint(QPointF(10, 13.5));
            return QIcon(pm);
        }(),
        [] {
            QPixmap pm = Canvas(20, 18);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x2e, 0x8b, 0x3e));
            p.drawEllipse(QRectF(2, 1, 16, 16));
            p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            QPainterPath tick;
            tick.moveTo(6, 9.5);
            tick.lineTo(9, 12.5);
            tick.lineTo(14.5, 5.5);
            p.drawPath(tick);
            return QIcon(pm);
        }(),
    };
    return icons[image == 1 || image == 2 ? image : 0];
}

QIcon AppIcon()
{
    return ProgramIcon();
}
