// The desktop window: a picture of one terminal's screen, refreshed while the window is open.
#pragma once

#include "terminal/ThreadDevDesktop.h"

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QScrollArea;

class TFormDevDesktop : public QDialog, public DesktopTarget {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 500;

    explicit TFormDevDesktop(int devId);
    ~TFormDevDesktop() override;

    int ShowModal() { return exec(); }
    // Every way of closing passes here.
    void done(int result) override;

    // Looks up the terminal and starts the picture thread (on first show).
    void FormShow();
    // Stops the picture thread's hand-overs; the thread runs out its cycle on its own.
    void FormClose();
    // "截图并保存到本地(&S)": the picture as it stands to a file chosen by the operator, in its own
    // format (JPEG as received, the placeholder bitmap before the first picture); a file that
    // cannot be written throws Exception.
    void S1Click();

    // DesktopTarget, on the user-interface thread.
    void ShowPicture(const QImage& picture, const QByteArray& jpeg) override;
    void CloseForm() override;

    // The grey placeholder shown until the first picture arrives.
    static QImage Placeholder();

    QScrollArea* ScrollBox1 = nullptr;
    QLabel* ImgDevDesktop = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* S1 = nullptr;

    const int DevId;
    QImage Picture;      // what ImgDevDesktop shows
    QByteArray PictureJpeg; // its bytes as the agent sent them; empty for the placeholder

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetPicture(const QImage& picture);

    std::shared_ptr<DesktopLink> link_;
    bool shown_ = false;
};

// The desktop window that the main window has open, only while it is open.
extern TFormDevDesktop* FormDevDesktop;
