#pragma once

// The progress window of a batch. The batch runs inside its modal loop; the
// engine drives it through the progress-view interface.

#include "engine/OutputParser.h"
#include "ui/common/ModalForm.h"

#include <optional>
#include <vector>

class QCheckBox;
class QEventLoop;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSystemTrayIcon;
class QTimer;
class TSpinner;

class TfrmProgress : public TModalForm, public TProgressView {
    Q_OBJECT
public:
    // The running files shown at once; more scroll.
    static constexpr size_t MaxShownRunningFiles = 8;

    explicit TfrmProgress(QWidget* owner = nullptr);
    ~TfrmProgress() override;

    // ---- the progress view ----
    void SetLabel(TProgressLabel label, const std::string& text) override;
    void SetStatusProgress(int percent) override;
    void SetBatchProgress(int percent) override;
    void SetCaption(const std::string& caption) override;
    bool AnimationRunning() const override;
    void StartAnimation() override;
    void SetTrayHint(const std::string& hint) override;
    // Shows one line (name, bar, percent) per file in place of the single
    // file's figures; an empty list brings those back.
    void SetRunningFiles(const std::vector<TRunningFile>& files) override;
    void ResetProgress() override;
    void MarkFinished() override;
    // Runs until the window closes: mrOk after MarkFinished, mrCancel after
    // "Stop now". Work posted to the main thread keeps running meanwhile.
    int ShowModal() override;

    bool Finished() const { return finished_; }
    // The close question (Cancel button, close box, Escape, the tray's stop
    // command). True when the window closed.
    bool RequestClose();
    // Hides the windows in the notification area; without one, minimises them.
    void SendToTray();
    // Brings the main window and this window back from the notification area.
    void RestoreFromTray();
    bool InTray() const { return inTray_; }

    // The main window's notification-area icon (hint, balloon). Without one
    // the window makes its own when it is sent to the tray.
    void SetTrayIcon(QSystemTrayIcon* tray);
    // Tests decide whether a notification area exists; nullopt asks the system.
    static void SetTrayAvailableOverride(std::optional<bool> available);
    static bool TrayAvailable();

    void done(int r) override;
    void reject() override;

    QWidget* pnlTop;
    QLabel* lblCovnerting;
    TSpinner* anmConvert;
    QWidget* pnlStatus;
    QLabel* lblStatusRemainingSingle;
    QLabel* lblStatusRemaining;
    QLabel* lblStatus;
    QProgressBar* prgStatus;
    QScrollArea* scrRunning;
    QWidget* pnlRunning;
    QProgressBar* prgBatch;
    QLabel* lblBatch;
    QLabel* lblRemaining;
    QLabel* lblBatchRemaining;
    QLabel* lblElapsed;
    QLabel* lblBatchElapsed;
    QLabel* lblEstimated;
    QLabel* lblBatchEstimated;
    QLabel* lblWorking;
    QLabel* lblOutput;
    QLabel* lblStopWhenDone;
    QCheckBox* chkDelSource;
    QCheckBox* chkShutdown;
    QFrame* lineBottom;
    QWidget* pnlButtons;
    QPushButton* btnTray;
    QPushButton* btnCancel;

signals:
    void sentToTray();
    void restoredFromTray();

protected:
    void changeEvent(QEvent* event) override;

private:
    // The steps that build the window.
    void BuildTitleStrip();
    void BuildFigures();
    void BuildFileLines();
    void BuildStatusGrid();
    void BuildButtons();
    void ConnectControls();

    QLabel* LabelOf(TProgressLabel label) const;
    void SetElidedText(QLabel* label, const std::string& text);
    void RefreshElapsed();
    QSystemTrayIcon* Tray();

    struct TRunningLine {
        QWidget* Row;
        QLabel* Name;
        QProgressBar* Bar;
        QLabel* Percent;
    };
    std::vector<TRunningLine> runningLines_;
    bool finished_ = false;
    bool closed_ = false;
    bool asking_ = false;
    bool inTray_ = false;
    QEventLoop* loop_ = nullptr;
    QTimer* elapsedTimer_;
    QSystemTrayIcon* tray_ = nullptr;
    QSystemTrayIcon* ownTray_ = nullptr;
};
