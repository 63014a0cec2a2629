// The wait window: a small modal strip that runs one progress worker, shows its progress and stops it.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;
class ThreadProcessBar;

class TFormWait : public QDialog {
    Q_OBJECT
public:
    // Callers pass no parent (the application owns the window); it centres on the main window.
    explicit TFormWait(QWidget* owner = nullptr);
    ~TFormWait() override;

    // The worker to run: suspended and not yet started. The window owns it from here on and
    // frees it once it has finished.
    void SetThread(ThreadProcessBar* t);
    // Shows the window modally; returns when the worker has finished and has been freed.
    int ShowModal();

    // How often the window follows the worker, and the pause between freeing it and closing.
    static constexpr int StepIntervalMs = 50;
    static constexpr int CloseDelayMs = 100;

    QFrame* PanelWait = nullptr;
    QFrame* Panel3 = nullptr;
    QFrame* Panel4 = nullptr;
    QToolButton* BtnStop = nullptr;
    QProgressBar* PBar = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;

    void Timer1Timer();
    void BtnStopClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape: the operator cannot close the window

private:
    ThreadProcessBar* thread_ = nullptr;
    bool started_ = false;
    bool done_ = false; // the worker has been freed; the window may close
};

// The wait window of the running main-window command, only while it runs.
extern TFormWait* FormWait;
