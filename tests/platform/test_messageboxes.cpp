// Message boxes: the real boxes (closed by a timer), boxes asked for by a worker thread, silence
// at the end of the console, the sizes in the real file dialog's list and the standard box for
// exceptions from event handlers.
#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "support/ScriptedAnswerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

namespace {

constexpr int WaitLimitMs = 20000;
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

TEST(RealMessageBox, ShowsTheRequestModallyBlocksAWorkerAndMapsEveryWayOfClosingIt)
{
    QString seen;
    WhenModalShows([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen = QString("%1|%2|%3|%4|%5|%6|%7").arg(box->windowTitle(), box->text()).arg(box->icon())
                   .arg(box->buttons().size()).arg(box->windowModality())
                   .arg(box->button(QMessageBox::Ok)->text(), box->button(QMessageBox::Cancel)->text());
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(MessageBoxes::Show(Question), MsgResult::Ok);
    // The standard buttons speak the operator's language too.
    EXPECT_EQ(seen, QString("确认|<b>x</b>|%1|2|%2|确定|取消").arg(QMessageBox::Question).arg(Qt::ApplicationModal));
    // Asked for by a worker, the box shows on this thread, which keeps running while the worker waits.
    const std::pair<std::function<void(QWidget*)>, MsgResult> closings[] = {
        {[](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, MsgResult::Cancel},
        {[](QWidget* w) { w->close(); }, MsgResult::Cancel},
        {[](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); }, MsgResult::Ok}};
    for (const auto& [close, expected] : closings) {
        std::atomic<int> result{-1};
        bool returnedWhileOpen = true;
        WhenModalShows([&, close = close](QWidget* w) {
            returnedWhileOpen = result != -1;
            close(w);
        });
        std::thread worker([&] { result = int(MessageBoxes::Show(Question)); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result != -1; }, WaitLimitMs));
        worker.join();
        EXPECT_EQ(QString("%1 %2").arg(returnedWhileOpen).arg(result), QString("0 %1").arg(int(expected)));
    }
}

// Sizes as a Chinese desktop writes them: bytes up to 1 KB, then KB, MB, GB counted in 1024s.
TEST(RealFileDialog, ListsSizesInTheUnitsOfAChineseDesktop)
{
    const std::pair<QString, qint64> files[] = {
        {"字节.txt", 20}, {"千.txt", 2180}, {"兆.bin", 3 << 19}, {"吉.bin", 3LL << 30}};
    QTemporaryDir folder;
    for (const auto& [name, size] : files) {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(size)) << name.toStdString(); // sparse
    }
    QStringList shown;
    WhenModalShows([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        const auto* list = dialog->findChild<QTreeView*>("treeView");
        const auto sizeOf = [list](const QString& name) { // once listed
            const QModelIndexList found = list->model()->match(list->model()->index(0, 0, list->rootIndex()),
                                                               Qt::DisplayRole, name, 1, Qt::MatchExactly);
            return found.isEmpty() ? QString() : found[0].siblingAtColumn(1).data().toString();
        };
        for (const auto& [name, size] : files) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !sizeOf(name).isEmpty(); }, WaitLimitMs)) << name.toStdString();
            shown << sizeOf(name);
        }
        dialog->reject();
    });
    EXPECT_EQ(MessageBoxes::AskFile({FileDialogKind::Save, "保存", folder.filePath("新.txt"), "", "txt"}), "");
    EXPECT_EQ(shown.join(" | "), "20 字节 | 2.13 KB | 1.50 MB | 3.00 GB");
}

// Silence comes while a worker's box waits in this thread's queue, as a box does until this thread
// shows it: the box is answered before SetSilent returns, without a turn of the message loop (the
// end of the console runs none). Later boxes, of any thread, are refused at once without asking
// anyone, until the silence is lifted.
TEST(Silence, AnswersTheWaitingBoxAndRefusesLaterOnes)
{
    std::atomic<bool> waiting{false};
    std::atomic<int> asked{0};
    MessageBoxes::SetAnswerer([&](const MessageRequest&) {
        ++asked;
        if (QThread::currentThread() == qApp->thread())
            return MsgResult::Ok;
        MsgResult answer = MsgResult::Cancel;
        waiting = true;
        QMetaObject::invokeMethod(qApp, [&] { answer = MsgResult::Ok; }, Qt::BlockingQueuedConnection);
        return answer;
    });
    std::atomic<int> result{-1};
    std::thread worker([&] { result = int(MessageBoxes::Show(Question)); });
    while (!waiting)
        std::this_thread::yield(); // the message loop does not run
    MessageBoxes::SetSilent(true);
    QElapsedTimer clock;
    clock.start();
    while (result == -1 && !clock.hasExpired(WaitLimitMs / 10))
        std::this_thread::yield();
    EXPECT_EQ(result, int(MsgResult::Ok)) << "asked for before the silence, answered";
    EXPECT_TRUE(QTest::qWaitFor([&] { return result != -1; }, WaitLimitMs)); // lets a fault end
    worker.join();

    std::thread([&] { result = int(MessageBoxes::Show(Question)); }).join();
    EXPECT_EQ(result, int(MsgResult::Cancel));
    EXPECT_EQ(MessageBoxes::Show(Question), MsgResult::Cancel);
    EXPECT_EQ(asked, 1);
    MessageBoxes::SetSilent(false);
    EXPECT_EQ(MessageBoxes::Show(Question), MsgResult::Ok);
    EXPECT_EQ(asked, 2);
    MessageBoxes::SetAnswerer({});
}

struct Thrower : QObject {
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
        {[] { throw Exception("数据库错误"); }, "数据库错误"}, {[] { throw std::runtime_error("plain"); }, "plain"},
        {[] { throw 42; }, ""}};
    for (const auto& [toThrow, text] : cases) {
        target.toThrow = toThrow;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::sendPostedEvents(&target);
        EXPECT_EQ(Describe(answers.Last()),
                  Describe({QString::fromUtf8(ApplicationTitle), text, MsgIcon::Error, MsgButtons::Ok}));
    }
    EXPECT_EQ(answers.Count(), 3);
}

} // namespace

namespace {

// A save as the spreadsheet export asks for it: "xlsx" added to a bare name, ".xls" written ".xlsx".
FileDialogRequest WorkbookRequest(const QString& proposed)
{
    FileDialogRequest request{FileDialogKind::Save, "导出", proposed, "", "xlsx"};
    request.nameWritten = [](const QString& chosen) {
        return chosen.endsWith(".xls") ? chosen + "x" : chosen;
    };
    return request;
}

void Touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

// Whoever answers the dialog, the one question about an existing file names the file written,
// and comes only when that file exists; "取消" shows the dialog again with that name. An open
// dialog asks nothing.
TEST(SaveDialog, AsksOnceAboutTheFileWritten)
{
    QTemporaryDir folder;
    const QString dupXls = folder.filePath("dup.xls");
    const QString dupXlsx = folder.filePath("dup.xlsx");
    Touch(dupXls);
    ScriptedAnswerer boxes;
    QStringList answers;
    QStringList proposed;
    MessageBoxes::SetFileAnswerer([&](const FileDialogRequest& request) {
        proposed << request.fileName;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    });
    answers = {dupXls};
    EXPECT_EQ(MessageBoxes::AskFile(WorkbookRequest("")), dupXlsx) << "only the .xls exists";
    EXPECT_EQ(boxes.Count(), 0);

    Touch(dupXlsx);
    for (const QString& typed : {dupXls, folder.filePath("dup")}) {
        answers = {typed};
        EXPECT_EQ(MessageBoxes::AskFile(WorkbookRequest("")), dupXlsx);
    }
    const QString question = Describe({"导出", "dup.xlsx 已存在。\n您想要替换它吗？", MsgIcon::Warning, MsgButtons::OkCancel});
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(Describe(boxes.Last()), question);

    proposed.clear();
    answers = {dupXls, folder.filePath("other.xls")};
    boxes.Answer(MsgResult::Cancel);
    EXPECT_EQ(MessageBoxes::AskFile(WorkbookRequest("起初")), folder.filePath("other.xlsx"));
    EXPECT_EQ(proposed, QStringList({"起初", dupXlsx}));
    EXPECT_EQ(boxes.Count(), 3);

    answers = {dupXls};
    EXPECT_EQ(MessageBoxes::AskFile({FileDialogKind::Open, "打开", "", "", ""}), dupXls);
    EXPECT_EQ(boxes.Count(), 3);
}

// The real dialog asks about no file itself: a typed "dup.xls" that exists, with "dup.xlsx" beside
// it, brings the one question about "dup.xlsx".
TEST(RealFileDialog, LeavesTheQuestionToTheNameWritten)
{
    QTemporaryDir folder;
    Touch(folder.filePath("dup.xls"));
    Touch(folder.filePath("dup.xlsx"));
    QStringList seen;
    QPointer<QWidget> handled; // a window answered and not yet gone; the next may take its place
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w == handled)
            return;
        handled = w;
        if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
            seen << "dialog";
            // As its save button does; later, so that this timer is free to answer a box the
            // dialog might open from there.
            QMetaObject::invokeMethod(dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); },
                                      Qt::QueuedConnection);

        } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
            seen << box->text();
            // The first button that agrees: ours says Ok, the dialog's own Yes.
            for (QMessageBox::StandardButton agree : {QMessageBox::Ok, QMessageBox::Yes})
                if (QAbstractButton* button = box->button(agree)) {
                    button->click();
                    break;
                }
        }
    });
    answer.start(10);
    EXPECT_EQ(MessageBoxes::AskFile(WorkbookRequest(folder.filePath("dup.xls"))), folder.filePath("dup.xlsx"));
    EXPECT_EQ(seen.join(" | "), "dialog | dup.xlsx 已存在。\n您想要替换它吗？");
}
