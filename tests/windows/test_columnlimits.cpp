// Every text edit of every record dialog against the columns its text goes to: typing and pasting
// stop at the column's length as the server declares it, and a stored text longer than that (a
// server with wider columns) is shown, kept and saved whole.
#include "console/RecordTestSupport.h"
#include "windows/DevEdit.h"
#include "windows/TaskEdit.h"
#include "windows/UserInsert.h"
#include "windows/UserUpdate.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QTextEdit>
#include <set>

using namespace RecordTestSupport;
using namespace DevTestSupport;

namespace {

// One record dialog: the table it writes, which edit writes which column, and how to open it on a
// stored row (0: none) and save it.
struct DialogCase {
    QString name;
    QString table;
    QString key;
    std::map<QString, QString> columnOf; // edit -> column
    QStringList noColumn;                // edits whose text is no text column (a port, passwords)
    std::map<QString, QString> checked;  // columns the dialog's checks hold to a shape: a value that passes
    std::function<std::unique_ptr<QDialog>(int id)> open;
    std::function<void(QDialog&)> save;
    // A stored row with these values (column -> value) besides what the table needs; its key.
    std::function<int(const std::map<QString, QString>&)> seed;
};

QString SqlText(const QString& value)
{
    return "'" + QString(value).replace("\\", "\\\\").replace("'", "\\'") + "'";
}

// Inserts a row with fixed, then given, values; returns its key.
int SeedRow(const QString& table, const QString& fixedColumns, const QString& fixedValues,
            const std::map<QString, QString>& values)
{
    QStringList columns{fixedColumns};
    QStringList texts{fixedValues};
    for (const auto& [column, value] : values) {
        columns << column;
        texts << SqlText(value);
    }
    return Insert("insert into " + table + " (" + columns.join(',') + ") values (" + texts.join(',') + ")");
}

std::vector<DialogCase> Dialogs()
{
    const std::map<QString, QString> terminal{{"EdtDevName", "name"},     {"EdtDevMac", "mac"},
                                              {"EdtDevIp", "ip"},         {"EdtDevPos", "position"},
                                              {"EdtRelayIp", "relayIp"},  {"MemoDevMemo", "memo"}};
    const std::map<QString, QString> account{{"Editname", "name"}, {"Editlandname", "landname"}, {"Memoremark", "remark"}};
    auto seedTerminal = [](const std::map<QString, QString>& values) {
        return SeedRow("zol_baseinfo", "port", "0", values);
    };
    auto seedTask = [](const std::map<QString, QString>& values) {
        const int terminal = AddTerminal("甲", "down", "127.0.0.2");
        return SeedRow("zol_scheduletask", "zol_id, task_type_id, shutdown_time, exec_unit",
                       QString::number(terminal) + ", 1, '2013-05-06 22:00:00', '天'", values);
    };
    auto seedAccount = [](const std::map<QString, QString>& values) {
        return SeedRow("zol_user", "password, type", "md5('pw'), 2", values);
    };
    return {
        {"TFormDevEdit", "zol_baseinfo", "id", terminal, {"EdtDevPort"}, {{"ip", "127.0.0.9"}},
         [](int id) {
             auto d = std::make_unique<TFormDevEdit>(MainForm);
             if (id > 0)
                 d->LoadDevice(id);
             return std::unique_ptr<QDialog>(std::move(d));
         },
         [](QDialog& d) { static_cast<TFormDevEdit&>(d).BtnOkClick(); }, seedTerminal},
        {"TFormTaskEdit", "zol_scheduletask", "task_id", {{"MemoTaskMemo", "task_memo"}}, {}, {},
         [](int id) {
             auto d = std::make_unique<TFormTaskEdit>(MainForm);
             if (id > 0)
                 d->LoadTask(id);
             return std::unique_ptr<QDialog>(std::move(d));
         },
         [](QDialog& d) { static_cast<TFormTaskEdit&>(d).BtnOkClick(); }, seedTask},
        {"TFormUserInsert", "zol_user", "id", account, {"Editpassword"}, {},
         [](int) { return std::unique_ptr<QDialog>(std::make_unique<TFormUserInsert>(MainForm)); }, {}, {}},
        {"TFormUserUpdate", "zol_user", "id", account, {"Editpassword", "Editnewpassword"}, {},
         [](int id) {
             auto d = std::make_unique<TFormUserUpdate>(MainForm);
             d->LoadUser(id);
             return std::unique_ptr<QDialog>(std::move(d));
         },
         [](QDialog& d) { static_cast<TFormUserUpdate&>(d).BitBtn1Click(); }, seedAccount},
    };
}

// The dialog's own text edits, line edits and memos, without the ones inside other controls
// (a date and time box, a combo box).
std::vector<QWidget*> TextEditsOf(QDialog& dialog)
{
    std::vector<QWidget*> edits;
    auto inOtherControl = [](QWidget* w) {
        return qobject_cast<QAbstractSpinBox*>(w->parentWidget()) || qobject_cast<QComboBox*>(w->parentWidget());
    };
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
        if (!inOtherControl(edit))
            edits.push_back(edit);
    for (QTextEdit* memo : dialog.findChildren<QTextEdit*>())
        edits.push_back(memo);
    return edits;
}

QString TextOf(QWidget* edit)
{
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        return line->text();
    return MainForm->GetMemoText(static_cast<QTextEdit*>(edit));
}

// Types text at the start of the edit, as the operator does.
void TypeAtStart(QWidget* edit, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        line->setCursorPosition(0);
    else
        static_cast<QTextEdit*>(edit)->moveCursor(QTextCursor::Start);
    QTest::keyClicks(edit, text);
}

void Paste(QWidget* edit, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(edit))
        PasteOver(line, text);
    else
        PasteOver(static_cast<QTextEdit*>(edit), text);
}

// Each limited edit of the dialog with its column; fails for an edit the case does not name, and
// for a named edit the dialog does not have.
std::vector<std::pair<QWidget*, QString>> LimitedEdits(QDialog& dialog, const DialogCase& c)
{
    std::vector<std::pair<QWidget*, QString>> limited;
    std::set<QString> seen;
    for (QWidget* edit : TextEditsOf(dialog)) {
        seen.insert(edit->objectName());
        if (c.noColumn.contains(edit->objectName()))
            continue;
        const auto column = c.columnOf.find(edit->objectName());
        if (column == c.columnOf.end())
            ADD_FAILURE() << c.name.toStdString() << ": edit " << edit->objectName().toStdString() << " writes no known column";
        else
            limited.emplace_back(edit, column->second);
    }
    for (const auto& [edit, column] : c.columnOf)
        EXPECT_TRUE(seen.count(edit)) << c.name.toStdString() << " has no edit " << edit.toStdString();
    return limited;
}

// A column's declared length for the time of a test: longer, then as it was.
class WiderColumns {
public:
    WiderColumns(const QString& table, const std::vector<QString>& columns, int extra) : table_(table)
    {
        for (const QString& column : columns) {
            const int length = ColumnLength(table, column);
            widened_.emplace_back(column, length);
            SetLength(column, length + extra);
        }
    }
    ~WiderColumns()
    {
        TestDb::Exec("delete from " + table_); // no text longer than the column as it was
        for (const auto& [column, length] : widened_)
            SetLength(column, length);
    }

private:
    void SetLength(const QString& column, int length)
    {
        const bool nullable = TestDb::Scalar(QStringLiteral("select is_nullable from information_schema.columns where "
                                                            "table_schema = database() and table_name = '%1' and "
                                                            "column_name = '%2'").arg(table_, column)) == "YES";
        TestDb::Exec(QStringLiteral("alter table %1 modify %2 varchar(%3) %4")
                         .arg(table_, column).arg(length).arg(nullable ? "null" : "not null default ''"));
    }

    QString table_;
    std::vector<std::pair<QString, int>> widened_;
};

class ColumnLimitsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ShowConsole(); }
    void SetUp() override
    {
        Reset();
        AddTaskTypes();
        MainForm->BuildDevTree();
    }

    ScriptedAnswerer answers_;
};

} // namespace

// In every dialog, a paste far longer than the column keeps its first part up to the column's
// length, and typing then adds nothing wherever the cursor stands.
TEST_F(ColumnLimitsTest, TypingAndPastingStopAtTheColumn)
{
    for (const DialogCase& c : Dialogs()) {
        const int stored = c.seed ? c.seed({}) : 0;
        std::unique_ptr<QDialog> dialog = c.open(stored);
        for (const auto& [edit, column] : LimitedEdits(*dialog, c)) {
            const int length = ColumnLength(c.table, column);
            const QString pasted = "粘贴" + QString(length + 40, u'机');
            Paste(edit, pasted);
            TypeAtStart(edit, "Z");
            EXPECT_EQ(TextOf(edit), pasted.left(length)) << c.name.toStdString() << " " << column.toStdString();
        }
    }
}

// A stored text longer than its column as declared here (the server's is wider) opens whole;
// typing into it adds nothing, and a save that leaves it alone writes it back whole.
TEST_F(ColumnLimitsTest, LoadedTextsLongerThanTheLimitAreKeptWhole)
{
    constexpr int Extra = 60;
    for (const DialogCase& c : Dialogs()) {
        if (!c.seed)
            continue; // a dialog for new rows loads nothing
        std::vector<QString> columns;
        std::map<QString, QString> values = c.checked;
        for (const auto& [edit, column] : c.columnOf) {
            if (c.checked.count(column))
                continue;
            columns.push_back(column);
            values[column] = "载入" + QString(ColumnLength(c.table, column) + Extra / 2, u'长') + "x";
        }
        const WiderColumns wider(c.table, columns, Extra);
        const int stored = c.seed(values);
        std::unique_ptr<QDialog> dialog = c.open(stored);
        for (const auto& [edit, column] : LimitedEdits(*dialog, c)) {
            if (c.checked.count(column))
                continue;
            const std::string where = c.name.toStdString() + " " + column.toStdString();
            EXPECT_EQ(TextOf(edit), values[column]) << where;
            TypeAtStart(edit, "Z");
            EXPECT_EQ(TextOf(edit), values[column]) << where;
        }
        const int boxes = answers_.Count();
        c.save(*dialog);
        EXPECT_EQ(answers_.Count(), boxes) << c.name.toStdString() << ": " << Describe(answers_.Last()).toStdString();
        for (const QString& column : columns) {
            const DataSet row = FormDbMod->QuerySql("select " + column + " as v from " + c.table + " where " + c.key +
                                                    " = " + QString::number(stored));
            EXPECT_EQ(row.AsString("v"), values[column]) << c.name.toStdString() << " " << column.toStdString();
        }
    }
}
