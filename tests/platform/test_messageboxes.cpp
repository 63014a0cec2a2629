// Message boxes and file dialogs: the real boxes (closed by a timer), boxes asked for by a worker
// thread and the standard box for exceptions from event handlers.
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr int WaitLimitMs = 5000;
const MessageRequest Question{"确认", "<b>x</b>", MsgIcon::Question, MsgButtons::OkCancel};

// Polls for the modal window the code under test opened and hands it to act, once.
void WhenModalShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start(10);
}

TEST(RealMessageBoxTest, ShowsTheRequestModallyAndMapsEveryWayOfClosingIt)
{
    QString seen;
    WhenModalShows([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen = QString("%1|%2|%3|%4|%5").arg(box->windowTitle(), box->text()).arg(box->icon())
                   .arg(box->buttons().size()).arg(box->windowModality());
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxes::Show(Question), MsgResult::Ok);
    EXPECT_EQ(seen, QString("确认|<b>x</b>|%1|2|%2").arg(QMessageBox::Question).arg(Qt::ApplicationModal));

    const std::pair<std::function<void(QWidget*)>, MsgResult> closings[] = {
        {[](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, MsgResult::Cancel},
        {[](QWidget* w) { w->close(); }, MsgResult::Cancel},
        {[](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }, MsgResult::Ok}};
    for (const auto& [close, expected] : closings) {
        WhenModalShows(close);
        EXPECT_EQ(MessageBoxes::Show(Question), expected);
    }
}

TEST(RealMessageBoxTest, AWorkerIsBlockedUntilTheBoxClosesWhileTheUiRuns)
{
    std::atomic<bool> returned{false};
    std::atomic<int> result{-1};
    bool returnedWhileOpen = true;
    WhenModalShows([&](QWidget* w) {
        // A later timer still fires: the UI thread keeps running while the worker waits.
        QTimer::singleShot(25, w, [&, w] {
            returnedWhileOpen = returned.load();
            QTest::keyClick(w, Qt::Key_Escape);
        });
    });
    std::thread worker([&] {
        result = int(MessageBoxes::Show(Question));
        returned = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!returned && clock.elapsed() < WaitLimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_FALSE(returnedWhileOpen);
    EXPECT_EQ(result.load(), int(MsgResult::Cancel));
}

TEST(RealFileDialogTest, ReturnsTheChosenPathOrEmptyWhenCancelled)
{
    QTemporaryDir dir;
    const FileDialogRequest request{FileDialogKind::Save, "导出", dir.filePath("devices"),
                                    "Excel 文件 (*.xlsx)", "xlsx"};
    WhenModalShows([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); });
    EXPECT_EQ(MessageBoxes::AskFile(request), dir.filePath("devices.xlsx"));
    WhenModalShows([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_EQ(MessageBoxes::AskFile(request), "");
}

// An object whose event handler throws what it is given.
class Thrower : public QObject {
public:
    std::function<void()> toThrow;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            toThrow();
        return QObject::event(e);
    }
};

TEST(ApplicationTest, ExceptionsFromEventHandlersShowTheStandardBox)
{
    ScriptedAnswerer answers;
    Thrower target;
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { throw Exception("数据库错误"); }, "数据库错误"},
        {[] { throw std::runtime_error("plain"); }, "plain"},
        {[] { throw 42; }, ""}};
    for (const auto& [toThrow, text] : cases) {
        target.toThrow = toThrow;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&target);
        const MessageRequest r = answers.Last();
        EXPECT_EQ(QString("%1|%2|%3|%4").arg(r.caption, r.text).arg(int(r.icon)).arg(int(r.buttons)),
                  QString("%1|%2|%3|%4").arg(QString::fromUtf8(ApplicationTitle), text)
                      .arg(int(MsgIcon::Error)).arg(int(MsgButtons::Ok)));
    }
    EXPECT_EQ(answers.Count(), 3);
}

} // namespace
