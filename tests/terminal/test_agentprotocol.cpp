// The agent protocol: the authentication line, the reply wait of the blocking clients, the reply splitter.
#include "support/AgentTestSupport.h"
#include "platform/GbkCodec.h"
#include "platform/SocketRead.h"
#include "support/Thrown.h"
#include "terminal/AgentClient.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace AgentTestSupport;

namespace {

class AgentProtocolTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpConsole(); }
    void SetUp() override
    {
        MainForm->IniWriteString(AgentProtocol::KeyAuth, AgentProtocol::DefaultKey);
        ConsoleDb::ClearLog();
    }
};

QString ExpectedToken(const QString& key, const QString& nonce)
{
    // The digest is over the GBK bytes of the key and the digits.
    return QString::fromLatin1(QCryptographicHash::hash(Gbk::Encode(key + nonce), QCryptographicHash::Md5).toHex())
        .mid(5, 5);
}

// The line is "auth,<5 digits>,<5 hex>" (18 bytes with CR LF); a leading 0 of the nonce stays, and
// the key, Chinese too, is read from the settings for every line.
TEST_F(AgentProtocolTest, AuthLineFollowsTheTokenRule)
{
    EXPECT_EQ(AgentProtocol::AuthCommandFor("qupzer", "01234"), "auth,01234," + ExpectedToken("qupzer", "01234"));
    const QRegularExpression shape(QStringLiteral("^auth,[0-9]{5},[0-9a-f]{5}$"));
    bool sawLeadingZero = false;
    for (int i = 0; i < 200; ++i) {
        const QString l = AgentProtocol::BuildAuthCommand();
        ASSERT_TRUE(shape.match(l).hasMatch()) << l.toStdString();
        sawLeadingZero = sawLeadingZero || l.at(5) == '0';
    }
    EXPECT_TRUE(sawLeadingZero);
    EXPECT_EQ(AgentProtocol::EncodeLine(AgentProtocol::BuildAuthCommand()).size(), 18);

    MainForm->IniWriteString(AgentProtocol::KeyAuth, QStringLiteral("另一把"));
    const QString other = AgentProtocol::BuildAuthCommand();
    EXPECT_EQ(other.section(',', 2), ExpectedToken(QStringLiteral("另一把"), other.section(',', 1, 1)));
}

// Reply waits of a blocking client against a real agent: "unsuccessful" holds "success"; blank
// replies and silence both end after four waits with "等待数据超时!"; an agent that closes ends
// the waits at once. A missing address is named as such. (A rejected key and a refused
// connection are checked through the desktop window, which shows their boxes.)
TEST_F(AgentProtocolTest, ReplyWaitEndsAfterFourEmptyWaits)
{
    FakeAgent agent;
    UseAgent(agent);
    const auto await = [&](FakeAgent::Fault fault, const QByteArray& reply, qint64* elapsed = nullptr) {
        agent.SetFault(fault);
        agent.SetReply("auth", reply);
        AgentClient client(agent.Ip());
        EXPECT_EQ(client.Init(), QString());
        client.SendAuth();
        QElapsedTimer clock;
        clock.start();
        QString outcome;
        try {
            outcome = client.AwaitReply() ? "accepted" : "rejected";
        } catch (const Exception& e) {
            outcome = e.Message;
        }
        if (elapsed)
            *elapsed = clock.elapsed();
        return outcome;
    };
    EXPECT_EQ(await(FakeAgent::Fault::None, FakeAgent::Document("auth", "unsuccessful")), "accepted");

    qint64 silent = 0;
    qint64 blank = 0;
    EXPECT_EQ(await(FakeAgent::Fault::Silent, {}, &silent), "等待数据超时!");
    EXPECT_EQ(await(FakeAgent::Fault::None, " \r\n\t ", &blank), "等待数据超时!");
    EXPECT_GE(silent, 4 * QuietMs() - 50);
    EXPECT_GE(blank, 3 * QuietMs() - 50); // the blank reply ends the first wait early
    agent.SetReply("auth", {});
    agent.SetFault(FakeAgent::Fault::None);
    AgentClient client(agent.Ip());
    ASSERT_EQ(client.Init(), QString());
    client.SendLine("exit"); // the agent closes the connection
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Thrown([&] { client.AwaitReply(); }), "等待数据超时!");
    EXPECT_LT(clock.elapsed(), QuietMs());
    EXPECT_EQ(AgentClient(QString()).Init(), "错误的IP地址!");
}

// Documents are cut at "</client>" and trimmed; an unfinished one is carried to the next read,
// also when it begins after a whole one, is cut inside a Chinese character or inside its end tag;
// blanks between documents vanish; a document over the limit is dropped with a warning line, and
// the next one is read again. (Replies in two writes, or several in one, are checked through the
// detail window.)
TEST_F(AgentProtocolTest, SplitterCarriesUnfinishedDocumentsOver)
{
    const QByteArray a = FakeAgent::Document("net", "<n>甲</n>");
    const QByteArray b = FakeAgent::Document("ups", "<u>乙</u>");
    const QString ta = QString::fromUtf8("<client cmd=\"net\"><n>甲</n></client>");
    const QString tb = QString::fromUtf8("<client cmd=\"ups\"><u>乙</u></client>");

    struct Case {
        const char* what;
        std::vector<QByteArray> reads;
        std::vector<QStringList> expected;
    };
    const int inChar = int(a.indexOf(Gbk::Encode(QStringLiteral("甲")))) + 1; // between the two bytes of 甲
    const std::vector<Case> cases{
        {"cut inside a character", {a.left(inChar), a.mid(inChar)}, {{}, {ta}}},
        {"second begins in the first read", {a + b.left(5), b.mid(5) + a}, {{ta}, {tb, ta}}},
        {"end tag itself split", {a.left(a.size() - 3), a.right(3)}, {{}, {ta}}},
        {"blanks only between", {a + " \r\n", "\r\n" + b}, {{ta}, {tb}}},
    };
    for (const Case& c : cases) {
        AgentReplySplitter splitter;
        for (size_t i = 0; i < c.reads.size(); ++i)
            EXPECT_EQ(splitter.Feed(c.reads[i]), c.expected[i]) << c.what << " read " << i;
        EXPECT_EQ(splitter.Carried(), 0) << c.what;
    }

    AgentReplySplitter splitter;
    const QByteArray big = "<client cmd=\"process\">" + QByteArray(AgentReplySplitter::MaxCarry, 'x');
    EXPECT_EQ(splitter.Feed(big.left(1000)), QStringList());
    EXPECT_EQ(splitter.Feed(big.mid(1000)), QStringList());
    EXPECT_LT(splitter.Carried(), 100) << "the over-long document is not kept";
    EXPECT_EQ(splitter.Feed("xxx</cli"), QStringList());
    EXPECT_EQ(splitter.Feed("ent>" + a), QStringList{ta}) << "the dropped document ends at its own end tag";
    EXPECT_EQ(splitter.Feed(big + "</client>" + b), QStringList{tb}) << "a whole document over the limit is dropped too";
    EXPECT_EQ(ConsoleDb::LogText().count(QStringLiteral("远程设备的回复超过1048576字节,已丢弃.")), 2);
}

// What would keep the parser busy for seconds is refused before it sees it, however it was built:
// the depth counts as the parser counts it, so end tags hidden in a processing instruction lower
// nothing; comments, character data, quoted values and empty elements add no depth and no
// attributes. A document type could expand entities to gigabytes and is refused outright.
TEST_F(AgentProtocolTest, RepliesThatWouldStallTheParserAreRefusedBeforeParsing)
{
    using AgentProtocol::ReplyShape;
    const auto nested = [](int levels, const QString& inner = {}) {
        return QStringLiteral("<e>").repeated(levels) + inner + QStringLiteral("</e>").repeated(levels);
    };
    const auto attributes = [](int count) {
        QString tag = QStringLiteral("<client cmd=\"process\"");
        for (int i = 1; i < count; ++i)
            tag += QStringLiteral(" a%1=\"\"").arg(i);
        return tag + QStringLiteral("/>");
    };
    const int limit = AgentProtocol::MaxReplyDepth;
    const QString hiddenEnds = QStringLiteral("</e>").repeated(limit + 10);
    const struct {
        const char* what;
        QString text;
        ReplyShape shape;
    } cases[] = {
        {"a real reply", "<client cmd=\"ups\"><ups><value name=\"a\">1</value></ups></client>", ReplyShape::Plain},
        {"with an XML declaration", "<?xml version=\"1.0\" encoding=\"GBK\"?><client cmd=\"auth\">success</client>",
         ReplyShape::Plain},
        {"at the limit", nested(limit), ReplyShape::Plain},
        {"one deeper", nested(limit + 1), ReplyShape::TooDeep},
        {"siblings, not depth", QStringLiteral("<r>") + nested(limit - 1).repeated(50) + "</r>", ReplyShape::Plain},
        {"empty elements", nested(limit - 1, QStringLiteral("<x a=\"/>\"/>").repeated(40)), ReplyShape::Plain},
        {"markup in comments, data and values", nested(limit - 1, "<!-- <a><b> --><![CDATA[<c><d>]]><x q='&lt;y>'/>"),
         ReplyShape::Plain},
        {"unclosed start tags", QStringLiteral("<e>").repeated(limit + 1), ReplyShape::TooDeep},
        {"end tags hidden in a processing instruction", "<?x " + hiddenEnds + " ?>" + nested(limit + 1),
         ReplyShape::TooDeep},
        {"end tags hidden in a document type", "<!DOCTYPE e [ <!-- " + hiddenEnds + " --> ]>" + nested(limit + 1),
         ReplyShape::Declaration},
        {"entities declared", "<!DOCTYPE client [<!ENTITY a \"aaaa\">]><client>&a;&a;</client>",
         ReplyShape::Declaration},
        {"as many attributes as allowed", attributes(AgentProtocol::MaxReplyAttributes), ReplyShape::Plain},
        {"one attribute more", attributes(AgentProtocol::MaxReplyAttributes + 1), ReplyShape::TooManyAttributes},
        {"'=' and '>' inside values", "<client cmd=\"" + QStringLiteral("=>").repeated(500) + "\"/>", ReplyShape::Plain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AgentProtocol::ScanReply(c.text).shape, c.shape) << c.what;

    // The operator reads why, in Chinese; what may be parsed is parsed.
    EXPECT_EQ(Thrown([&] { AgentProtocol::ParseReply(nested(limit + 1)); }),
              QStringLiteral("远程设备的回复嵌套超过32层,无法解析!"));
    EXPECT_EQ(Thrown([&] { AgentProtocol::ParseReply(attributes(100)); }),
              QStringLiteral("远程设备的回复中有元素的属性超过16个,无法解析!"));
    EXPECT_EQ(Thrown([&] { AgentProtocol::ParseReply("<!DOCTYPE e><e/>"); }),
              QStringLiteral("远程设备的回复带有文档类型声明,无法解析!"));
    EXPECT_EQ(AgentProtocol::ParseReply(nested(limit)).documentElement().tagName(), QStringLiteral("e"));
}

// Namespace prefixes are read as the parse reads them, as parts of names: however they are misused,
// a deep reply stays too deep, and a shallow one parses as it always did, prefixes and all.
TEST_F(AgentProtocolTest, PrefixesCountAsTheParseReadsThem)
{
    using AgentProtocol::ReplyShape;
    const int limit = AgentProtocol::MaxReplyDepth;
    const auto nested = [](int levels) {
        return QStringLiteral("<a>").repeated(levels) + QStringLiteral("</a>").repeated(levels);
    };
    const struct {
        const char* what;
        QString open;
        QString close;
        QString name; // of the element the levels are in, as parsed
    } shapes[] = {
        {"an undeclared element prefix", "<x:list>", "</x:list>", "x:list"},
        {"an undeclared attribute prefix", "<list y:n=\"1\">", "</list>", "list"},
        {"xmlns as an element prefix", "<xmlns:list>", "</xmlns:list>", "xmlns:list"},
        {"attributes that clash once prefixes are resolved",
         "<list xmlns:p=\"u\" xmlns:q=\"u\" p:n=\"1\" q:n=\"2\">", "</list>", "list"},
        {"an illegal namespace declaration", "<list xmlns:xml=\"u\">", "</list>", "list"},
        {"a prefix used outside its scope", "<p:head xmlns:p=\"u\"/><p:list>", "</p:list>", "p:list"},
    };
    for (const auto& s : shapes) {
        const auto reply = [&](int levels) {
            return "<client cmd=\"process\">" + s.open + nested(levels) + s.close + "</client>";
        };
        EXPECT_EQ(AgentProtocol::ScanReply(reply(limit)).shape, ReplyShape::TooDeep) << s.what;
        EXPECT_EQ(Thrown([&] { AgentProtocol::ParseReply(reply(limit)); }),
                  QStringLiteral("远程设备的回复嵌套超过32层,无法解析!"))
            << s.what;
        const QDomDocument doc = AgentProtocol::ParseReply(reply(limit - 2));
        EXPECT_EQ(doc.documentElement().lastChildElement().tagName(), s.name) << s.what;
    }
}

// Text that the reader cannot read to its end is refused where the reader stops, with the reader's
// reason and its place in Chinese: nothing after that place was counted, so nothing of it may
// reach the parse.
TEST_F(AgentProtocolTest, WhatTheReaderCannotReadIsRefusedWhereItStops)
{
    using AgentProtocol::ReplyShape;
    const QString deep = QStringLiteral("<a>").repeated(60000) + QStringLiteral("</a>").repeated(60000);
    const struct {
        const char* what;
        QString text;
        QString place;
    } cases[] = {
        {"'<' in a value", "<x q='<y>'/>", "(第1行,第7列)"},
        {"a mismatched end tag", "<client>\n<a></b>" + deep + "</client>", "(第2行,第7列)"},
        {"an undeclared entity", "<client>&x;" + deep + "</client>", "(第1行,第11列)"},
        {"a second root", "<client/><client>" + deep + "</client>", "(第1行,第17列)"},
        {"an end missing", "<client><a></a>", "(第1行,第15列)"},
        {"nothing", "", "(第1行,第0列)"},
    };
    for (const auto& c : cases) {
        const AgentProtocol::ReplyScan scan = AgentProtocol::ScanReply(c.text);
        EXPECT_EQ(scan.shape, ReplyShape::NotWellFormed) << c.what;
        EXPECT_TRUE(scan.reason.endsWith(c.place)) << c.what << ": " << scan.reason.toStdString();
        EXPECT_GT(scan.reason.size(), c.place.size() + 1) << c.what << ": the reader's reason first";
        EXPECT_EQ(Thrown([&] { AgentProtocol::ParseReply(c.text); }), scan.reason) << c.what;
    }
    EXPECT_EQ(AgentProtocol::ReadError(QStringLiteral("需要开始标记。"), 1, 1), QStringLiteral("需要开始标记。 (第1行,第1列)"));
}

} // namespace

namespace {

// A listening socket on a loopback port chosen by the system.
int Listener(quint16& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), length) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0)
        ADD_FAILURE() << "no listener";
    port = ntohs(at.sin_port);
    return fd;
}

} // namespace

// The windows' connections tell a reset from an orderly close, whether the reader or a command
// meets it first (the system reports a reset once): a reset is a failure either way, a close is
// the reader's to find, with what the agent sent before it still read.
TEST_F(AgentProtocolTest, ResetIsToldFromCloseByReaderAndWriter)
{
    quint16 port = 0;
    const int listener = Listener(port);
    const struct {
        bool reset;
        bool sendFirst;
        SocketRead::End expected;
    } cases[] = {
        {true, false, SocketRead::End::Failed},
        {true, true, SocketRead::End::Failed},
        {false, false, SocketRead::End::Closed},
        {false, true, SocketRead::End::None},
    };
    for (const auto& c : cases) {
        QTcpSocket client;
        SocketRead::Connect(&client, QStringLiteral("127.0.0.1"), port);
        ASSERT_TRUE(client.waitForConnected(Patience));
        const int peer = ::accept(listener, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        if (c.reset) {
            const linger now{1, 0};
            ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        } else {
            ASSERT_EQ(::send(peer, "ab", 2, 0), 2);
        }
        ::close(peer);
        // Until the end has arrived; looking does not take the reset.
        pollfd arrived{int(client.socketDescriptor()), POLLRDHUP, 0};
        ASSERT_EQ(::poll(&arrived, 1, Patience), 1);
        if (c.sendFirst) {
            EXPECT_EQ(SocketRead::Send(&client, "exit\r\n"), c.expected) << c.reset;
        } else {
            SocketRead::Taken taken = SocketRead::Take(&client, 1024);
            if (!c.reset) {
                EXPECT_EQ(taken.bytes, "ab");
                taken = SocketRead::Take(&client, 1024);
            }
            EXPECT_EQ(taken.end, c.expected) << c.reset;
        }
    }
    ::close(listener);
}
