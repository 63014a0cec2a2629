// The console log: line format, levels, colours, scrolling, and lines written by many threads.
#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFragment>
#include <thread>
#include <vector>

namespace {

const QString TimePattern = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";

enum class Look { Plain, Red, RedBold, Mixed };

// The look of every character of a block: one look for the whole line, or Mixed.
Look LookOf(const QTextBlock& block)
{
    bool first = true;
    Look look = Look::Plain;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        const bool red = f.hasProperty(QTextFormat::ForegroundBrush)
            && f.foreground().color() == QColor(255, 0, 0);
        const bool colored = f.hasProperty(QTextFormat::ForegroundBrush);
        const bool bold = f.fontWeight() > QFont::Normal;
        Look l = red ? (bold ? Look::RedBold : Look::Red) : Look::Plain;
        if (!red && (colored || bold))
            return Look::Mixed;
        if (!first && l != look)
            return Look::Mixed;
        look = l;
        first = false;
    }
    return look;
}

class ConsoleLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogLevel = Consts::LevelInfo;
        view_.setObjectName("MemoInfo");
        view_.setReadOnly(true);
        view_.resize(400, 120);
        view_.show();
    }
    void TearDown() override { LogLevel = Consts::InitialLogLevel; }

    QStringList Lines() const
    {
        const QString text = view_.toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    QTextBlock Block(int i) const { return view_.document()->findBlockByNumber(i); }
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    QTextEdit view_;
    ConsoleLog log_{&view_};
};

TEST_F(ConsoleLogTest, LineIsTagTimeSeparatorMessage)
{
    LogLevel = Consts::LevelDebug;
    log_.Write(Consts::LevelDebug, "d");
    log_.Write(Consts::LevelInfo, "连接成功");
    log_.Write(Consts::LevelWarning, "<b>not markup</b>");
    log_.Write(Consts::LevelError, "e");
    // Written on the user-interface thread: in the view at once, no event processing needed.
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(QRegularExpression("^  调试 " + TimePattern + " : d$").match(lines[0]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^  信息 " + TimePattern + " : 连接成功$").match(lines[1]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^  警告 " + TimePattern + " : <b>not markup</b>$")
                    .match(lines[2]).hasMatch());
    EXPECT_TRUE(QRegularExpression("^  错误 " + TimePattern + " : e$").match(lines[3]).hasMatch());

    const QString now = ConsoleLog::NowString();
    const QDateTime parsed = QDateTime::fromString(now, "yyyy-MM-dd HH:mm:ss");
    ASSERT_TRUE(parsed.isValid()) << now.toStdString();
    EXPECT_LE(qAbs(parsed.secsTo(QDateTime::currentDateTime())), 2);
}

TEST_F(ConsoleLogTest, LevelsBelowLogLevelAreDropped)
{
    struct Case {
        int logLevel;
        int written;
    } cases[] = {{1, 4}, {2, 3}, {3, 2}, {4, 1}};
    for (const Case& c : cases) {
        view_.clear();
        LogLevel = c.logLevel;
        for (int level = Consts::LevelDebug; level <= Consts::LevelError; ++level)
            log_.Write(level, "m");
        EXPECT_EQ(Lines().size(), c.written) << "LogLevel " << c.logLevel;
        EXPECT_TRUE(Lines().last().startsWith(ConsoleLog::Tag(Consts::LevelError)));
    }
}

TEST_F(ConsoleLogTest, EachLineKeepsItsOwnLook)
{
    log_.Write(Consts::LevelWarning, "w1");
    log_.Write(Consts::LevelInfo, "i1");
    log_.Write(Consts::LevelError, "e1");
    log_.Write(Consts::LevelInfo, "i2");
    log_.Write(Consts::LevelWarning, "w2");
    ASSERT_EQ(view_.document()->blockCount(), 5);
    EXPECT_EQ(LookOf(Block(0)), Look::Red);
    EXPECT_EQ(LookOf(Block(1)), Look::Plain);
    EXPECT_EQ(LookOf(Block(2)), Look::RedBold);
    EXPECT_EQ(LookOf(Block(3)), Look::Plain);
    EXPECT_EQ(LookOf(Block(4)), Look::Red);
}

TEST_F(ConsoleLogTest, InfoScrollsToTheBottomWarningsAndDroppedLinesDoNot)
{
    QScrollBar* bar = view_.verticalScrollBar();
    for (int i = 0; i < 50; ++i)
        log_.Write(Consts::LevelInfo, QString("line %1").arg(i));
    Settle();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    log_.Write(Consts::LevelWarning, "w");
    log_.Write(Consts::LevelError, "e");
    Settle();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(LookOf(Block(50)), Look::Red);

    LogLevel = Consts::LevelWarning;
    log_.Write(Consts::LevelInfo, "dropped");
    Settle();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(view_.toPlainText().contains("dropped"));

    LogLevel = Consts::LevelInfo;
    log_.Write(Consts::LevelInfo, "after");
    Settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(LookOf(Block(50)), Look::Red); // the warning line stays red
}

TEST_F(ConsoleLogTest, LinesOfManyThreadsStayWholeOrderedAndColoured)
{
    constexpr int Threads = 8;
    constexpr int LinesEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([this, t] {
            const int level = Consts::LevelInfo + t % 3; // info, warning, error
            for (int i = 0; i < LinesEach; ++i)
                log_.Write(level, QString("thread %1 line %2 end").arg(t).arg(i));
        });
    // The UI thread handles no events until every worker is done: no worker may wait for it.
    for (auto& th : threads)
        th.join();
    EXPECT_TRUE(view_.toPlainText().isEmpty());
    Settle();

    ASSERT_EQ(view_.document()->blockCount(), Threads * LinesEach);
    const QRegularExpression shape("^  (信息|警告|错误) " + TimePattern
                                   + " : thread (\\d) line (\\d+) end$");
    int next[Threads] = {};
    for (int b = 0; b < Threads * LinesEach; ++b) {
        const QTextBlock block = Block(b);
        const auto m = shape.match(block.text());
        ASSERT_TRUE(m.hasMatch()) << block.text().toStdString();
        const int t = m.captured(2).toInt();
        EXPECT_EQ(m.captured(3).toInt(), next[t]++) << "thread " << t;
        const Look expected[] = {Look::Plain, Look::Red, Look::RedBold};
        EXPECT_EQ(LookOf(block), expected[t % 3]) << block.text().toStdString();
        EXPECT_EQ(m.captured(1), ConsoleLog::Tag(Consts::LevelInfo + t % 3).trimmed());
    }
}

TEST_F(ConsoleLogTest, ALineLoggedWhileALineIsAddedFollowsIt)
{
    bool inside = false;
    QObject::connect(&view_, &QTextEdit::textChanged, [&] {
        if (inside || !view_.toPlainText().endsWith("first"))
            return;
        inside = true;
        log_.Write(Consts::LevelInfo, "second"); // would deadlock on a held, non-recursive lock
    });
    log_.Write(Consts::LevelWarning, "first");
    Settle();
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(" : first"));
    EXPECT_TRUE(lines[1].endsWith(" : second"));
    EXPECT_EQ(LookOf(Block(0)), Look::Red);
    EXPECT_EQ(LookOf(Block(1)), Look::Plain);
}

TEST(ConsoleLogViewTest, LinesAfterTheViewIsGoneAreDropped)
{
    auto* view = new QTextEdit;
    ConsoleLog log(view);
    log.Write(Consts::LevelError, "kept");
    delete view;
    log.Write(Consts::LevelError, "dropped");
    std::thread([&log] { log.Write(Consts::LevelError, "from worker"); }).join();
    QCoreApplication::processEvents();
    SUCCEED();
}

} // namespace
