#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>

// The start-up picture: a frameless window drawn from the picture's own alpha,
// shown modally before the main window exists. It closes itself on the first
// tick of its one-second timer.
class TfrmSplash : public QDialog {
public:
    explicit TfrmSplash(QWidget* parent = nullptr);

    // The picture in use: SkinsFolder + "Splash.png", or DrawnPicture() when
    // that file is missing or unreadable.
    const QPixmap& Picture() const { return picture_; }
    // The picture drawn in code.
    static QPixmap DrawnPicture();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    QTimer timer_;
};
