// The console log: line format, levels, colours, scrolling, and lines written by many threads.
#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTextBlock>
#include <QTextEdit>
#include <thread>
#include <vector>

namespace {

const QString TimePattern = R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})";

const QString Plain = "plain", Red = "#ff0000", RedBold = "#ff0000 bold";

// The look of a whole line: its colour (none: plain) and weight, or "mixed" when characters differ.
QString LookOf(const QTextBlock& block)
{
    QSet<QString> looks;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        looks << (f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color().name() : Plain)
                     + (f.fontWeight() > QFont::Normal ? " bold" : "");
    }
    return looks.size() == 1 ? *looks.begin() : "mixed";
}

class ConsoleLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LogLevel = Consts::LevelInfo;
        view_.resize(400, 120);
        view_.show();
    }
    void TearDown() override { LogLevel = Consts::InitialLogLevel; }

    QStringList Lines() const
    {
        const QString text = view_.toPlainText();
        return text.isEmpty() ? QStringList() : text.split('\n');
    }
    QString LookOfLine(int i) const { return LookOf(view_.document()->findBlockByNumber(i)); }
    static void Settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    QTextEdit view_;
    ConsoleLog log_{&view_};
};

TEST_F(ConsoleLogTest, LinesAreTagTimeMessageWithTheirLookAndLowerLevelsDropped)
{
    const std::tuple<int, QString, QString> rows[] = {{Consts::LevelWarning, "<b>not markup</b>", Red},
                                                      {Consts::LevelInfo, "连接成功", Plain},
                                                      {Consts::LevelError, "e", RedBold},
                                                      {Consts::LevelDebug, "d", Plain}};
    const auto writeAll = [&](int logLevel) {
        view_.clear();
        LogLevel = logLevel;
        for (const auto& [level, text, look] : rows)
            log_.Write(level, text);
        return Lines().size(); // on the user-interface thread the lines are in the view at once
    };
    EXPECT_EQ(writeAll(Consts::LevelWarning), 2);
    ASSERT_EQ(writeAll(Consts::LevelDebug), 4);
    QString text = view_.toPlainText();
    text.replace(QRegularExpression(TimePattern), "T");
    EXPECT_EQ(text, "  警告 T : <b>not markup</b>\n  信息 T : 连接成功\n  错误 T : e\n  调试 T : d");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(LookOfLine(i), std::get<2>(rows[i])) << i;
    const QDateTime now = QDateTime::fromString(ConsoleLog::NowString(), "yyyy-MM-dd HH:mm:ss");
    ASSERT_TRUE(now.isValid());
    EXPECT_LE(qAbs(now.secsTo(QDateTime::currentDateTime())), 2);
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
    LogLevel = Consts::LevelWarning;
    log_.Write(Consts::LevelInfo, "dropped");
    Settle();
    EXPECT_EQ(bar->value(), 0);

    LogLevel = Consts::LevelInfo;
    log_.Write(Consts::LevelInfo, "after");
    Settle();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(LookOfLine(50), Red); // the warning line stays red
}

TEST_F(ConsoleLogTest, LinesOfManyThreadsStayWholeOrderedAndColoured)
{
    constexpr int Threads = 8, LinesEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < LinesEach; ++i)
                log_.Write(Consts::LevelInfo + t % 3, QString("thread %1 line %2 end").arg(t).arg(i));
        });
    // The UI thread handles no events until every worker is done: no worker may wait for it.
    for (auto& th : threads)
        th.join();
    EXPECT_TRUE(view_.toPlainText().isEmpty());
    Settle();

    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), Threads * LinesEach);
    const QRegularExpression shape("^  (信息|警告|错误) " + TimePattern + " : thread (\\d) line (\\d+) end$");
    const QString looks[] = {Plain, Red, RedBold};
    int next[Threads] = {};
    for (int b = 0; b < lines.size(); ++b) {
        const auto m = shape.match(lines[b]);
        ASSERT_TRUE(m.hasMatch()) << lines[b].toStdString();
        const int t = m.captured(2).toInt();
        EXPECT_EQ(m.captured(3).toInt(), next[t]++) << "thread " << t;
        EXPECT_EQ(m.captured(1), ConsoleLog::Tag(Consts::LevelInfo + t % 3).trimmed());
        EXPECT_EQ(LookOfLine(b), looks[t % 3]) << lines[b].toStdString();
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
    EXPECT_TRUE(lines[0].endsWith(" : first") && lines[1].endsWith(" : second"));
    EXPECT_EQ(LookOfLine(0), Red);
    EXPECT_EQ(LookOfLine(1), Plain);
}

TEST(ConsoleLogViewTest, LinesAfterTheViewIsGoneAreDropped)
{
    auto* view = new QTextEdit;
    ConsoleLog log(view);
    delete view;
    log.Write(Consts::LevelError, "dropped"); // must not touch the deleted view
    std::thread([&log] { log.Write(Consts::LevelError, "from worker"); }).join();
    QCoreApplication::processEvents();
}

} // namespace
