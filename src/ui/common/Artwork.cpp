#include "ui/common/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <cmath>

namespace {

const QColor kDeep(22, 60, 110);
const QColor kLight(64, 140, 210);
const QColor kAccent(255, 170, 40);

} // namespace

QPixmap DrawProgramMark(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient bg(QPointF(s * 0.35, s * 0.3), s * 0.75);
    bg.setColorAt(0, kLight);
    bg.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));

    // Two arrows turning around the centre: converting one thing into another.
    QPen arc(kAccent, std::max<qreal>(1.5, s * 0.07), Qt::SolidLine, Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    const QRectF ring(s * 0.2, s * 0.2, s * 0.6, s * 0.6);
    p.drawArc(ring, 30 * 16, 120 * 16);
    p.drawArc(ring, 210 * 16, 120 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    auto arrowHead = [&](qreal angleDeg) {
        const qreal a = angleDeg * M_PI / 180.0;
        const QPointF c = ring.center();
        const qreal r = ring.width() / 2;
        const QPointF tip(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
        const QPointF dir(-std::sin(a), -std::cos(a)); // clockwise tangent
        const QPointF normal(std::cos(a), -std::sin(a));
        const qreal h = s * 0.1;
        QPolygonF head;
        head << tip + dir * h << tip + normal * h * 0.7 << tip - normal * h * 0.7;
        p.drawPolygon(head);
    };
    arrowHead(30);
    arrowHead(210);

    // The play triangle in the middle.
    p.setBrush(Qt::white);
    QPolygonF play;
    play << QPointF(s * 0.42, s * 0.36) << QPointF(s * 0.64, s * 0.5) << QPointF(s * 0.42, s * 0.64);
    p.drawPolygon(play);
    return pm;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(DrawProgramMark(size));
    return icon;
}

QPixmap DrawBanner(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), 0);
    g.setColorAt(0, kDeep);
    g.setColorAt(1, kLight);
    p.fillRect(pm.rect(), g);
    // Soft diagonal stripes for a little texture.
    p.setPen(QPen(QColor(255, 255, 255, 18), 8));
    for (int x = -size.height(); x < size.width(); x += 24)
        p.drawLine(x, size.height(), x + size.height(), 0);
    const int mark = std::max(8, size.height() - 10);
    p.drawPixmap(6, (size.height() - mark) / 2, DrawProgramMark(mark));
    return pm;
}

QPixmap DrawAboutPicture(const QSize& size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, kDeep);
    g.setColorAt(1, kLight.darker(140));
    p.fillRect(pm.rect(), g);
    // A few film frames drifting across the picture.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        const qreal w = size.width() / 6.0;
        const QRectF frame(i * w * 0.95 - w * 0.3, size.height() * (0.55 + 0.04 * (i % 3)), w * 0.8, w * 0.55);
        p.setBrush(QColor(255, 255, 255, 22 + 6 * (i % 3)));
        p.drawRoundedRect(frame, 4, 4);
    }
    const int mark = std::min(size.width(), size.height()) / 3;
    p.drawPixmap((size.width() - mark) / 2, size.height() / 10, DrawProgramMark(mark));
    return pm;
}

TSpinner::TSpinner(QWidget* parent) : QWidget(parent), timer_(new QTimer(this))
{
    timer_->setInterval(80);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
    setAttribute(Qt::WA_TranslucentBackground);
}

void TSpinner::Start()
{
    if (!timer_->isActive())
        timer_->start();
}

void TSpinner::Stop()
{
    timer_->stop();
    step_ = 0;
    update();
}

bool TSpinner::Active() const
{
    return timer_->isActive();
}

QSize TSpinner::sizeHint() const
{
    return QSize(28, 28);
}

void TSpinner::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    const qreal outer = side / 2 - 1;
    const qreal inner = outer * 0.45;
    for (int i = 0; i < 12; ++i) {
        // The spoke at the current step is brightest, the ones behind it fade.
        const int age = (step_ - i + 12) % 12;
        QColor c = Qt::white;
        c.setAlpha(255 - age * 18);
        p.setPen(QPen(c, std::max<qreal>(1.5, side / 10), Qt::SolidLine, Qt::RoundCap));
        p.save();
        p.rotate(i * 30.0);
        p.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        p.restore();
    }
}
