// The wait window: resumes its worker on show, follows it every 50 ms, frees it and closes when it ends.
#include "windows/FrmWait.h"

#include "console/MainForm.h"
#include "foundation/ThreadBase.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

TFormWait* FormWait = nullptr;

TFormWait::TFormWait(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName("FormWait");
    setModal(true);
    setFixedSize(235, 21);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    PanelWait = new QFrame(this);
    PanelWait->setObjectName("PanelWait");
    PanelWait->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelWait->setLineWidth(1);
    PanelWait->setAutoFillBackground(true);
    QPalette pal = PanelWait->palette();
    pal.setColor(QPalette::Window, QColor(0, 128, 128)); // teal
    PanelWait->setPalette(pal);
    QFont font(QStringLiteral("宋体"));
    font.setBold(true);
    PanelWait->setFont(font);
    outer->addWidget(PanelWait);

    auto* row = new QHBoxLayout(PanelWait);
    row->setContentsMargins(1, 1, 1, 1);
    row->setSpacing(0);

    Panel4 = new QFrame(PanelWait);
    Panel4->setObjectName("Panel4");
    auto* stack = new QGridLayout(Panel4);
    stack->setContentsMargins(0, 0, 0, 0);
    Label1 = new QLabel(QStringLiteral("正在停止,请稍侯..."), Panel4);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    PBar = new QProgressBar(Panel4);
    PBar->setObjectName("PBar");
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);
    // The label lies under the bar and is seen only once the bar is hidden.
    stack->addWidget(Label1, 0, 0);
    stack->addWidget(PBar, 0, 0);
    row->addWidget(Panel4, 1);

    Panel3 = new QFrame(PanelWait);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(19);
    auto* btnBox = new QVBoxLayout(Panel3);
    btnBox->setContentsMargins(0, 0, 0, 0);
    BtnStop = new QToolButton(Panel3);
    BtnStop->setObjectName("BtnStop");
    BtnStop->setAutoRaise(true); // flat
    BtnStop->setCursor(Qt::PointingHandCursor);
    BtnStop->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    BtnStop->setToolTip(QStringLiteral("停止"));
    btnBox->addWidget(BtnStop);
    row->addWidget(Panel3);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(StepIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TFormWait::Timer1Timer);
    connect(BtnStop, &QToolButton::clicked, this, &TFormWait::BtnStopClick);
}

TFormWait::~TFormWait()
{
    // Only a window that was never shown still holds its worker; it was never started.
    delete thread_;
}

void TFormWait::SetThread(ThreadProcessBar* t)
{
    thread_ = t;
}

int TFormWait::ShowModal()
{
    return exec();
}

void TFormWait::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    QWidget* anchor = MainForm ? static_cast<QWidget*>(MainForm) : parentWidget();
    QRect area = anchor ? anchor->frameGeometry()
                        : (screen() ? screen()->availableGeometry() : QRect());
    if (area.isValid())
        move(area.center() - rect().center());
    if (!thread_) {
        done_ = true;
        QMetaObject::invokeMethod(this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
        return;
    }
    thread_->Resume();
    PBar->setMaximum(thread_->GetMax());
    Timer1->start();
    Timer1Timer();
}

void TFormWait::Timer1Timer()
{
    if (!thread_ || done_)
        return;
    if (thread_->Finished) {
        Timer1->stop();
        delete thread_; // waits for the body to return
        thread_ = nullptr;
        QThread::msleep(CloseDelayMs);
        done_ = true;
        // Queued, so the close also works when this step ran on show, before the modal loop.
        QMetaObject::invokeMethod(this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
        return;
    }
    if (PBar->maximum() != thread_->GetMax())
        PBar->setMaximum(thread_->GetMax());
    // The bar cannot go past its maximum: a position above it leaves the bar full.
    // Set at once, not a step at a time: a big log counts its progress in millions of steps.
    PBar->setValue(std::min(thread_->GetPosition(), PBar->maximum()));
}

void TFormWait::BtnStopClick()
{
    if (!BtnStop->isEnabled())
        return;
    if (thread_)
        thread_->Stop();
    BtnStop->setEnabled(false);
    Panel3->hide();
    PBar->hide();
}

void TFormWait::closeEvent(QCloseEvent* event)
{
    if (done_)
        event->accept();
    else
        event->ignore();
}

void TFormWait::reject()
{
    if (done_)
        QDialog::reject();
}
