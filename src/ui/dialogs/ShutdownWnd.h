#pragma once

// The 30-second countdown before the after-batch action: OK when it ran out
// (perform the action), Cancel when the user stopped it.

#include "ui/common/ModalForm.h"

class QLabel;
class QPushButton;
class QTimer;

class TfrmShutdown : public TModalForm {
    Q_OBJECT
public:
    // TickMs: the length of one countdown step (1000 ms; tests use less).
    explicit TfrmShutdown(QWidget* owner = nullptr, int tickMs = DefaultTickMs());

    int SecondsLeft() const { return secondsLeft_; }
    // One step of the countdown (what the timer runs).
    void Tick();

    // The step length new countdowns get; tests shorten it.
    static int DefaultTickMs();
    static void SetDefaultTickMs(int ms);

    // Shows a countdown over Owner; true when it ran out.
    static bool Execute(QWidget* owner);

    QLabel* lblWarning;
    QLabel* lblShutdownDescription;
    QLabel* lblAction;
    QLabel* lblTimeOut;
    QPushButton* btnCancel;
    QTimer* tmrShutdown;

signals:
    void ticked(int secondsLeft);

private:
    int secondsLeft_ = 30;
};
