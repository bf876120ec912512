#include "ui/common/Splash.h"

#include "app/Settings.h"

#include <QApplication>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

TfrmSplash::TfrmSplash(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    const QString file = QString::fromStdString(SkinsFolder + "Splash.png");
    // Only a regular file of sensible size is read: a named pipe or a link to
    // a device under that name would block or never end.
    const QFileInfo info(file);
    if (info.isFile() && info.size() <= 16 * 1024 * 1024)
        picture_.load(file);
    if (picture_.isNull())
        picture_ = DrawnPicture();
    setFixedSize(picture_.deviceIndependentSize().toSize());
    QApplication::setApplicationDisplayName(QString::fromStdString(ApplicationTitle));
    setWindowTitle(QString::fromStdString(ApplicationTitle));
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    timer_.setInterval(1000);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QDialog::accept);
    timer_.start();
    update();
}

void TfrmSplash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(0, 0, picture_);
}

QPixmap TfrmSplash::DrawnPicture()
{
    const QSize size(440, 240);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath frame;
    frame.addRoundedRect(QRectF(4, 4, size.width() - 8, size.height() - 8), 18, 18);
    QLinearGradient background(0, 0, 0, size.height());
    background.setColorAt(0, QColor(32, 58, 96));
    background.setColorAt(1, QColor(14, 26, 44));
    p.fillPath(frame, background);
    p.setPen(QPen(QColor(120, 170, 230, 160), 2));
    p.drawPath(frame);

    // A play mark inside a ring.
    const QPointF centre(100, 120);
    p.setPen(QPen(QColor(250, 180, 60), 6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 52, 52);
    QPainterPath play;
    play.moveTo(centre + QPointF(-18, -28));
    play.lineTo(centre + QPointF(32, 0));
    play.lineTo(centre + QPointF(-18, 28));
    play.closeSubpath();
    p.fillPath(play, QColor(250, 180, 60));

    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPointSize(30);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRectF(170, 70, 250, 60), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(ApplicationTitle));
    QFont line = p.font();
    line.setPointSize(11);
    line.setBold(false);
    p.setFont(line);
    p.setPen(QColor(190, 210, 235));
    p.drawText(QRectF(172, 130, 250, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Video and audio converter"));
    return pixmap;
}
