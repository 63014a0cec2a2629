// Message boxes and file dialogs: the scripted answerer, the real boxes (closed by a timer),
// boxes asked for by a worker thread, the standard exception box and the process-exit seam.
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "platform/ProcessExit.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr int WaitLimitMs = 5000;

MessageRequest Request(const QString& caption, const QString& text, MsgIcon icon,
                       MsgButtons buttons)
{
    MessageRequest r;
    r.caption = caption;
    r.text = text;
    r.icon = icon;
    r.buttons = buttons;
    return r;
}

// Polls for the modal window the code under test opened and hands it to act, once.
void WhenModalShows(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < WaitLimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(ScriptedAnswererTest, RecordsRequestsAndAnswersFromItsQueue)
{
    ScriptedAnswerer answers;
    answers.Answer(MsgResult::Cancel);
    EXPECT_EQ(MessageBoxes::Show(Request("确认", "删除?", MsgIcon::Question, MsgButtons::OkCancel)),
              MsgResult::Cancel);
    EXPECT_EQ(MessageBoxes::Show(Request("警告", "w", MsgIcon::Warning, MsgButtons::Ok)),
              MsgResult::Ok); // queue empty: Ok
    ASSERT_EQ(answers.Count(), 2);
    const auto requests = answers.Requests();
    EXPECT_EQ(requests[0].caption, "确认");
    EXPECT_EQ(requests[0].text, "删除?");
    EXPECT_EQ(requests[0].icon, MsgIcon::Question);
    EXPECT_EQ(requests[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(answers.Last().caption, "警告");

    FileDialogRequest file;
    file.caption = "保存";
    answers.AnswerFile("/tmp/a.xlsx");
    EXPECT_EQ(MessageBoxes::AskFile(file), "/tmp/a.xlsx");
    EXPECT_EQ(MessageBoxes::AskFile(file), ""); // queue empty: cancelled
    ASSERT_EQ(answers.FileRequests().size(), 2u);
    EXPECT_EQ(answers.FileRequests()[0].caption, "保存");
}

TEST(ScriptedAnswererTest, AnswersWorkersWithoutTheUserInterfaceThread)
{
    ScriptedAnswerer answers;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                MessageBoxes::Show(Request("c", QString("%1-%2").arg(t).arg(i), MsgIcon::Error,
                                           MsgButtons::Ok));
        });
    for (auto& th : threads)
        th.join(); // the UI thread handles no events meanwhile: nothing may wait for it
    EXPECT_EQ(answers.Count(), 200);
}

TEST(RealMessageBoxTest, ShowsCaptionTextIconAndButtonsAndMapsTheChoice)
{
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    Qt::WindowModality modality = Qt::NonModal;
    WhenModalShows([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->buttons().size());
        modality = box->windowModality();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxes::Show(Request("确认", "<b>x</b>", MsgIcon::Question, MsgButtons::OkCancel)),
              MsgResult::Ok);
    EXPECT_EQ(caption, "确认");
    EXPECT_EQ(text, "<b>x</b>");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(modality, Qt::ApplicationModal);
}

TEST(RealMessageBoxTest, EscapeAndCloseAreCancel)
{
    WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(MessageBoxes::Show(Request("确认", "q", MsgIcon::Question, MsgButtons::OkCancel)),
              MsgResult::Cancel);

    WhenModalShows([](QWidget* w) { w->close(); });
    EXPECT_EQ(MessageBoxes::Show(Request("确认", "q", MsgIcon::Question, MsgButtons::OkCancel)),
              MsgResult::Cancel);

    WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
    EXPECT_EQ(MessageBoxes::Show(Request("确认", "q", MsgIcon::Question, MsgButtons::OkCancel)),
              MsgResult::Ok);
}

TEST(RealMessageBoxTest, AWorkerIsBlockedUntilTheBoxClosesWhileTheUiRuns)
{
    std::atomic<bool> returned{false};
    std::atomic<int> result{-1};
    QString text;
    bool returnedWhileOpen = true;
    int ticks = 0;
    // The box runs its own event loop on the UI thread: everything here happens inside it.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    WhenModalShows([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        text = box->text();
        ticker.start(5);
        auto* closer = new QTimer;
        QObject::connect(closer, &QTimer::timeout, [&, box, closer] {
            if (ticks < 5)
                return; // the UI thread keeps running timers while the worker waits
            closer->stop();
            closer->deleteLater();
            returnedWhileOpen = returned.load();
            box->button(QMessageBox::Cancel)->click();
        });
        closer->start(5);
    });
    std::thread worker([&] {
        result = int(MessageBoxes::Show(
            Request("错误", "from worker", MsgIcon::Error, MsgButtons::OkCancel)));
        returned = true;
    });
    EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(text, "from worker");
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(returnedWhileOpen);
    EXPECT_EQ(result.load(), int(MsgResult::Cancel));
}

TEST(RealFileDialogTest, ReturnsTheChosenPathOrEmptyWhenCancelled)
{
    QTemporaryDir dir;
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.caption = "导出";
    request.fileName = dir.filePath("devices");
    request.filter = "Excel 文件 (*.xlsx)";
    request.defaultSuffix = "xlsx";

    QString caption;
    WhenModalShows([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(MessageBoxes::AskFile(request), dir.filePath("devices.xlsx"));
    EXPECT_EQ(caption, "导出");

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
    target.toThrow = [] { throw Exception("数据库错误"); };
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);
    target.toThrow = [] { throw std::runtime_error("plain"); };
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);
    target.toThrow = [] { throw 42; };
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target);

    const auto requests = answers.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].caption, QString::fromUtf8(ApplicationTitle));
    EXPECT_EQ(requests[0].text, "数据库错误");
    EXPECT_EQ(requests[0].icon, MsgIcon::Error);
    EXPECT_EQ(requests[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(requests[1].text, "plain");
    EXPECT_EQ(requests[2].text, "");
}

TEST(ProcessExitTest, TheInstalledHandlerSeesTheCode)
{
    struct Ended {
        int code;
    };
    SetProcessExitHandler([](int code) { throw Ended{code}; });
    try {
        ExitProcess(0);
        FAIL() << "returned";
    } catch (const Ended& e) {
        EXPECT_EQ(e.code, 0);
    }
    SetProcessExitHandler({});
}

} // namespace
