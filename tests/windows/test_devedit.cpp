// The terminal dialog against the real server and the real main window: every check with its text
// and focus, the add with its status row (and its undoing when that row fails), the edit, quoting,
// and the tree node.
#include "console/RecordTestSupport.h"
#include "windows/DevEdit.h"

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

class DevEditTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ShowConsole();
        TimeOut = 300; // the network check of a saved terminal; nothing listens on its address
    }
    void SetUp() override
    {
        Reset();
        MainForm->BuildDevTree();
    }
    // A shown, active dialog, filled in.
    void Fill(const QString& name, const QString& ip, const QString& port)
    {
        dlg_.show();
        QApplication::setActiveWindow(&dlg_);
        dlg_.EdtDevName->setText(name);
        dlg_.EdtDevIp->setText(ip);
        dlg_.EdtDevPort->setText(port);
    }
    // Read through the console's own layer: the client would print a backslash escaped.
    static QString Read(const QString& sql)
    {
        const DataSet rows = FormDbMod->QuerySql(sql);
        QStringList all;
        for (int row = 0; row < rows.RecordCount(); ++row)
            all << rows.Cell(row, 0).value_or("NULL");
        return all.join(';');
    }
    static QString Terminals() { return Read("select concat(name, '|', ip, '|', port) from zol_baseinfo order by id"); }

    ScriptedAnswerer answers_;
    TFormDevEdit dlg_{MainForm};
};

} // namespace

TEST(IsValidIp, DottedDecimalOnly)
{
    for (const char* ip : {"0.0.0.0", "255.255.255.255", "10.01.001.9", "127.0.0.2"})
        EXPECT_TRUE(TFormDevEdit::IsValidIp(ip)) << ip;
    for (const char* ip : {"", " 10.0.0.1", "10.0.0.1 ", "10.0.1", "10.0.0.256", "1.2.3.4.5", "1..2.3", "a.b.c.d",
                           "host.example", "1234.1.1.1", "10.0.0.-1", "１０.0.0.1"})
        EXPECT_FALSE(TFormDevEdit::IsValidIp(ip)) << ip;
}

// Each check in order: the first failing one warns, puts the focus where the operator must act
// (the port's leaves it) and writes nothing.
TEST_F(DevEditTest, ChecksInOrderWithTextAndFocus)
{
    AddTerminal("已有", std::nullopt, "10.0.0.9");
    const struct {
        QString name, ip, port, text;
        QLineEdit* focus;
    } cases[] = {
        {"   ", "   ", "x", "设备名称不能为空！", dlg_.EdtDevName},
        {"甲", " ", "x", "设备IP地址不能为空！", dlg_.EdtDevIp},
        {"甲", "10.0.0.300", "x", "非法的IP地址．", dlg_.EdtDevIp},
        {"甲", "10.0.0.9\n", "x", "非法的IP地址．", dlg_.EdtDevIp}, // pasted with its line end
        {"甲", "10.0.0.1", "99999999999", "请输入有效的继电器端口号！", dlg_.EdtDevMac},
        {"甲", "10.0.0.9", "", "设备IP已经存在！", dlg_.EdtDevIp},
    };
    for (const auto& c : cases) {
        Fill(c.name, c.ip, c.port);
        dlg_.EdtDevMac->setFocus();
        dlg_.BtnOkClick();
        EXPECT_EQ(Describe(answers_.Last()), "警告|" + c.text + "|2|0");
        EXPECT_EQ(QApplication::focusWidget(), c.focus) << c.text.toStdString();
        EXPECT_TRUE(dlg_.isVisible());
    }
    EXPECT_EQ(answers_.Count(), 6);
    EXPECT_EQ(Terminals(), "已有|10.0.0.9|4001");
}

// A status row that cannot be written leaves no terminal row, even where deleting one would fail
// too, so the next try is not refused as a duplicate; the dialog stays open with what was typed.
// The next try writes both rows: texts as typed (quotes, backslashes, Chinese, blanks), a blank
// port as 0, the placeholder memo as empty, the status "down" with a blank before its time; the
// node trimmed under 关机状态.
TEST_F(DevEditTest, AddWritesBothRowsOrNeither)
{
    TestDb::Exec("create trigger no_status before insert on zol_status for each row "
                 "signal sqlstate '45000' set message_text = 'refused';"
                 "create trigger no_delete before delete on zol_baseinfo for each row "
                 "signal sqlstate '45000' set message_text = 'refused'");
    const QString awkward = " O'Brien\\张三 ";
    Fill(awkward, "127.0.0.2", "  ");
    dlg_.EdtDevMac->setText("a'b\\c");
    dlg_.BtnOkClick();
    EXPECT_EQ(Describe(answers_.Last()), "错误|添加失败请重试!|3|0");
    EXPECT_EQ(TestDb::Scalar("select count(*) from zol_baseinfo"), "0");
    EXPECT_TRUE(dlg_.isVisible());
    EXPECT_EQ(dlg_.EdtDevName->text() + dlg_.EdtDevIp->text(), awkward + "127.0.0.2");
    EXPECT_EQ(MainForm->GetActivePageIndex(), TMainForm::PageIdxInfo); // the error box brings the console forward

    TestDb::Exec("drop trigger no_status; drop trigger no_delete");
    const QString dayBefore = QDate::currentDate().toString("yyyy-MM-dd");
    dlg_.BtnOkClick();
    const QString dayAfter = QDate::currentDate().toString("yyyy-MM-dd");
    EXPECT_FALSE(dlg_.isVisible());
    EXPECT_EQ(answers_.Count(), 1);
    const QString id = TestDb::Scalar("select id from zol_baseinfo");
    EXPECT_EQ(Read("select concat(name, '|', ip, '|', mac, '|', relayIp, '|', port, '|', memo) from zol_baseinfo"),
              awkward + "|127.0.0.2|a'b\\c||0|");
    const QString status = TestDb::Scalar("select concat(zol_id, '|', status, '|', updatetime) from zol_status");
    EXPECT_TRUE(status.startsWith(id + "|down| " + dayBefore) || status.startsWith(id + "|down| " + dayAfter))
        << status.toStdString();
    EXPECT_EQ(Names(DevTree::GroupDown), QStringList{"O'Brien\\张三"});
}

// An edit may take another terminal's address. An update the database refuses keeps the dialog
// open with the typing and changes nothing.
TEST_F(DevEditTest, EditUpdatesInPlaceOrNotAtAll)
{
    const int a = AddTerminal("甲", "down", "127.0.0.2");
    AddTerminal("乙", "up", "127.0.0.4");
    dlg_.LoadDevice(a);
    TestDb::Exec("create trigger no_update before update on zol_baseinfo for each row "
                 "signal sqlstate '45000' set message_text = 'refused'");
    Fill(" 丙 ", "127.0.0.4", "7");
    dlg_.BtnOkClick();
    TestDb::Exec("drop trigger no_update");
    EXPECT_EQ(Describe(answers_.Last()), "错误|数据库异常!|3|0");
    EXPECT_TRUE(dlg_.isVisible());
    EXPECT_EQ(dlg_.EdtDevName->text(), " 丙 ");
    EXPECT_EQ(Terminals(), "甲|127.0.0.2|4001;乙|127.0.0.4|4001");
    dlg_.BtnOkClick();
    EXPECT_FALSE(dlg_.isVisible());
    EXPECT_EQ(Terminals(), " 丙 |127.0.0.4|7;乙|127.0.0.4|4001");
}

// Texts far longer than their columns: each edit keeps what its column holds, of a paste the first
// part (a character beyond the Basic Multilingual Plane whole, never half), of typing nothing past
// the end wherever the cursor stands; the save succeeds with them.
TEST_F(DevEditTest, EditsHoldWhatTheirColumnsHold)
{
    const QString pasted(14000, u'机');
    Fill("", "127.0.0.2", "");
    for (auto [edit, column] : {std::pair(dlg_.EdtDevName, "name"), {dlg_.EdtDevMac, "mac"}, {dlg_.EdtRelayIp, "relayIp"}}) {
        PasteOver(edit, pasted);
        EXPECT_EQ(edit->text(), pasted.left(ColumnLength("zol_baseinfo", column))) << column;
    }
    const QString position(ColumnLength("zol_baseinfo", "position") - 1, u'楼');
    PasteOver(dlg_.EdtDevPos, position + QString::fromUcs4(U"\U0001F5A5") + pasted);
    EXPECT_EQ(dlg_.EdtDevPos->text(), position);
    PasteOver(dlg_.MemoDevMemo, "备注" + pasted);
    dlg_.MemoDevMemo->moveCursor(QTextCursor::Start);
    QTest::keyClicks(dlg_.MemoDevMemo, "Z");
    dlg_.BtnOkClick();
    EXPECT_EQ(answers_.Count(), 0);
    EXPECT_EQ(Read("select memo from zol_baseinfo"), ("备注" + pasted).left(ColumnLength("zol_baseinfo", "memo")));
}

// A save that changes nothing is no failure. One onto a terminal another console deleted meanwhile
// warns and writes nothing, and the terminal leaves the tree and the grid.
TEST_F(DevEditTest, SaveOntoADeletedTerminal)
{
    const int kept = AddTerminal("甲", "down", "127.0.0.2");
    const int gone = AddTerminal("乙", "down", "127.0.0.3");
    MainForm->BuildDevTree();
    TFormDevEdit unchanged(MainForm);
    unchanged.LoadDevice(kept);
    unchanged.BtnOkClick();
    dlg_.LoadDevice(gone);
    TestDb::Exec(QStringLiteral("delete from zol_baseinfo where id = %1; delete from zol_status where zol_id = %1").arg(gone));
    Fill("丙", "127.0.0.4", "");
    dlg_.BtnOkClick();
    EXPECT_EQ(Boxes(answers_), QStringList{"警告|修改失败,设备已不存在!|2|0"});
    EXPECT_EQ(Terminals(), "甲|127.0.0.2|4001");
    EXPECT_EQ(std::pair(NodeOf(gone), NodeOf(kept) != nullptr), std::pair((QTreeWidgetItem*)nullptr, true));
    EXPECT_EQ(Column(MainForm->QueryGrdDev, "id"), QStringList{QString::number(kept)});
}
