// The console log: line format, levels, colours, scrolling, and lines written by many threads.
#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"

#include <gtest/gtest.h>

#include <QtWidgets>
#include <thread>

namespace {

class ConsoleLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogLevel = Consts::LevelInfo;
        view_.resize(400, 120);
        view_.show();
    }

    // The lines, queued ones included, time as "T", with their look: colour or plain, bold, or "mixed".
    QStringList Shown() const
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        QStringList lines;
        for (QTextBlock b = view_.document()->begin(); b.isValid() && !b.text().isEmpty(); b = b.next()) {
            QSet<QString> looks;
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                looks << (f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name() : "plain")
                             + (f.fontWeight() > QFont::Normal ? " bold" : "");
            }
            lines << b.text().replace(QRegularExpression(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"), "T") + " | " +
                         (looks.size() == 1 ? *looks.begin() : "mixed");
        }
        return lines;
    }

    QTextEdit view_;
    ConsoleLog log_{&view_};
};

TEST_F(ConsoleLogTest, LinesAreTagTimeMessageWithTheirLookAndLowerLevelsDropped)
{
    for (int logLevel : {Consts::LevelWarning, Consts::LevelDebug}) {
        LogLevel = logLevel;
        log_.Write(Consts::LevelWarning, "<b>not markup</b>");
        log_.Write(Consts::LevelInfo, "连接成功");
        log_.Write(Consts::LevelError, "e");
        log_.Write(Consts::LevelDebug, "d");
    }
    EXPECT_EQ(view_.document()->blockCount(), 6); // on the user-interface thread a line is shown at once
    EXPECT_EQ(Shown(), QStringList({"  警告 T : <b>not markup</b> | #ff0000", "  错误 T : e | #ff0000 bold",
                                    "  警告 T : <b>not markup</b> | #ff0000", "  信息 T : 连接成功 | plain",
                                    "  错误 T : e | #ff0000 bold", "  调试 T : d | plain"}));
}

TEST_F(ConsoleLogTest, InfoScrollsToTheBottomWarningsAndErrorsDoNot)
{
    QScrollBar* bar = view_.verticalScrollBar();
    for (int i = 0; i < 50; ++i)
        log_.Write(Consts::LevelInfo, QString("line %1").arg(i));
    Shown();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    log_.Write(Consts::LevelWarning, "w");
    log_.Write(Consts::LevelError, "e");
    Shown();
    EXPECT_EQ(bar->value(), 0);
    log_.Write(Consts::LevelInfo, "after");
    Shown();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(ConsoleLogTest, LinesOfManyThreadsStayWholeOrderedAndColoured)
{
    constexpr int Threads = 8;
    constexpr int LinesEach = 200;
    std::vector<std::jthread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < LinesEach; ++i)
                log_.Write(Consts::LevelInfo + t % 3, QString("thread %1 line %2 end").arg(t).arg(i));
        });
    // The UI thread handles no events until every worker is done: no worker may wait for it.
    threads.clear(); // joins
    EXPECT_TRUE(view_.toPlainText().isEmpty());

    const QStringList lines = Shown();
    ASSERT_EQ(lines.size(), Threads * LinesEach);
    const QString looks[] = {"  信息 T : %1 | plain", "  警告 T : %1 | #ff0000", "  错误 T : %1 | #ff0000 bold"};
    for (int t = 0; t < Threads; ++t) {
        QStringList expected;
        for (int i = 0; i < LinesEach; ++i)
            expected << looks[t % 3].arg(QString("thread %1 line %2 end").arg(t).arg(i));
        EXPECT_EQ(lines.filter(QString("thread %1 ").arg(t)), expected) << "thread " << t;
    }
}

TEST_F(ConsoleLogTest, ALineLoggedWhileALineIsAddedFollowsItAndLinesAfterTheViewIsGoneAreDropped)
{
    bool inside = false;
    QObject::connect(&view_, &QTextEdit::textChanged, [&] {
        if (!inside && view_.toPlainText().endsWith("first")) { // a held, non-recursive lock would deadlock here
            inside = true;
            log_.Write(Consts::LevelInfo, "second");
        }
    });
    log_.Write(Consts::LevelWarning, "first");
    EXPECT_EQ(Shown(), QStringList({"  警告 T : first | #ff0000", "  信息 T : second | plain"}));

    auto* view = new QTextEdit;
    ConsoleLog log(view);
    delete view;
    log.Write(Consts::LevelError, "dropped"); // must not touch the deleted view
    std::thread([&log] { log.Write(Consts::LevelError, "from worker"); }).join();
    QCoreApplication::processEvents();
}

} // namespace
