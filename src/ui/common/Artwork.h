#pragma once

// Pictures drawn in code for the program's windows: the banner of the
// progress window, the about picture and the program icon.

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QTimer;

// A horizontal banner with the program's mark at the left, Size pixels large.
QPixmap DrawBanner(const QSize& size);
// The picture of the about window.
QPixmap DrawAboutPicture(const QSize& size);
// The program's mark (a play triangle over two turning arrows) at any size.
QPixmap DrawProgramMark(int size);
QIcon ProgramIcon();

// A small turning wheel that shows that work goes on.
class TSpinner : public QWidget {
    Q_OBJECT
public:
    explicit TSpinner(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool Active() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* timer_;
    int step_ = 0;
};
