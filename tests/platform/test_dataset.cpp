// DataSet navigation, lookup, editing and observers; DataSetModel over a QTableView.
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/Exception.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

DataSet Terminals()
{
    DataSet ds;
    ds.Open({"id", "Name", "relayIp", "temp"},
            {{QString("1"), QString("一号机"), QString("10.0.0.1"), QString("21.5")},
             {QString("2"), QString("二号机"), std::nullopt, std::nullopt},
             {QString("3"), QString(""), QString("10.0.0.3"), QString("abc")}});
    return ds;
}

struct Recorder : DataSetObserver {
    int resets = 0;
    std::vector<int> moves, changedRows;
    bool destroyed = false;
    void DataSetReset() override { ++resets; }
    void DataSetMoved(int recNo) override { moves.push_back(recNo); }
    void DataSetRowChanged(int row) override { changedRows.push_back(row); }
    void DataSetDestroyed() override { destroyed = true; }
};

} // namespace

TEST(DataSet, ClosedAndEmptySetsReadAsNullAndRefuseEdits)
{
    DataSet closed;
    EXPECT_FALSE(closed.Active());
    EXPECT_TRUE(closed.Eof() && closed.Bof());
    EXPECT_THROW(closed.AsString("id"), Exception);

    DataSet empty;
    empty.Open({"id"}, {});
    empty.Next();
    empty.MoveBy(3);
    empty.Last();
    EXPECT_EQ(empty.RecNo(), 0);
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.IsNull("ID"));
    EXPECT_EQ(empty.AsInteger("id"), 0);
    EXPECT_FALSE(empty.Locate("id", "1"));
    EXPECT_THROW(empty.SetField("id", QString("1")), Exception);
}

TEST(DataSet, NavigationFieldsAndLocate)
{
    DataSet ds = Terminals();
    QStringList seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen << ds.AsString("ID");
    EXPECT_EQ(seen, QStringList({"1", "2", "3"}));
    EXPECT_EQ(ds.RecNo(), 3); // Eof keeps the last record current
    ds.MoveBy(-10);
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 1);
    ds.SetRecNo(99);
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_FALSE(ds.Eof());

    ds.First();
    EXPECT_EQ(ds.AsString("NAME"), "一号机");
    EXPECT_DOUBLE_EQ(ds.AsFloat("temp"), 21.5);
    EXPECT_EQ(ds.AsInteger("temp"), 22);
    try {
        ds.AsString("Mac");
        FAIL() << "a missing field must throw";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Field 'Mac' not found");
    }
    ds.Next();
    EXPECT_TRUE(ds.IsNull("relayip"));
    EXPECT_EQ(ds.AsInteger("temp"), 0);
    ds.Next();
    EXPECT_FALSE(ds.IsNull("name")); // an empty text is not NULL
    EXPECT_THROW(ds.AsInteger("temp"), Exception);

    // Locate: first exact, case-sensitive match; NULL is not ""; a miss stays put.
    ds.Open({"id", "name"}, {{QString("1"), QString("Abc")}, {QString("2"), std::nullopt},
                             {QString("3"), QString("abc")}, {QString("4"), QString("abc")}});
    EXPECT_TRUE(ds.Locate("NAME", "abc"));
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_FALSE(ds.Locate("name", "ABC"));
    EXPECT_FALSE(ds.Locate("name", ""));
    EXPECT_EQ(ds.RecNo(), 3);
    EXPECT_THROW(ds.Locate("nope", "1"), Exception);
}

TEST(DataSet, EditingAnInMemoryTable)
{
    DataSet table;
    table.Open({"pid", "name"}, {});
    table.Append();
    table.SetField("pid", QString("10"));
    table.SetField("NAME", QString("explorer.exe"));
    table.Append();
    table.SetField("pid", QString("20"));
    EXPECT_EQ(table.RecNo(), 2);
    EXPECT_TRUE(table.IsNull("name"));
    EXPECT_EQ(*table.Cell(0, 1), "explorer.exe");
    table.Delete();
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.AsString("pid"), "10");
    table.Clear();
    EXPECT_EQ(table.FieldCount(), 2);
    table.Delete(); // nothing to delete: no effect
    EXPECT_THROW(table.SetCell(0, 0, QString("x")), Exception);
}

TEST(DataSet, ObserversHearResetsMovesAndChangesButAreNotCopied)
{
    DataSet ds = Terminals();
    Recorder r;
    ds.AddObserver(&r);
    ds.Next();
    ds.Next();
    ds.Next(); // already on the last record: no move
    ds.Locate("id", "1");
    EXPECT_EQ(r.moves, std::vector<int>({2, 3, 1}));
    ds.SetCell(1, 1, QString("改名"));
    EXPECT_EQ(r.changedRows, std::vector<int>({1}));

    DataSet copy(ds);
    copy.Next();
    EXPECT_EQ(r.moves.size(), 3u); // the copy has no observers

    const int before = r.resets;
    ds = Terminals(); // observers of the assigned-to set stay and hear it
    EXPECT_EQ(r.resets, before + 1);
    DataSet taken(std::move(ds));
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(r.resets, before + 2); // the emptied set told its observer
    {
        DataSet shortLived;
        shortLived.AddObserver(&r);
    }
    EXPECT_TRUE(r.destroyed);
}

TEST(DataSetModel, ShowsCellsFollowsRecNoAndSurvivesTheSetGoingAway)
{
    auto ds = std::make_unique<DataSet>(Terminals());
    DataSetModel model(ds.get(), {{"id", "编号", 0, false, Qt::AlignLeft},
                                  {"", "序号", 40, true, Qt::AlignCenter},
                                  {"NAME", "名称", 120, true, Qt::AlignLeft},
                                  {"relayip", "继电器", 90, true, Qt::AlignRight},
                                  {"absent", "无此列", 50, true, Qt::AlignLeft}});
    QTableView view;
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    model.ApplyColumns(&view);

    EXPECT_EQ(model.index(2, 1).data().toInt(), 3);
    EXPECT_EQ(model.index(0, 2).data().toString(), "一号机");
    EXPECT_EQ(model.index(1, 3).data().toString(), ""); // NULL shows blank
    EXPECT_EQ(model.index(0, 4).data().toString(), "");
    EXPECT_EQ(model.index(0, 3).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight));
    EXPECT_TRUE(view.isColumnHidden(0));
    EXPECT_EQ(view.columnWidth(2), 120);
    EXPECT_EQ(view.currentIndex().row(), 0);
    EXPECT_FALSE(view.isColumnHidden(view.currentIndex().column()));

    ds->Locate("id", "3");
    EXPECT_EQ(view.currentIndex().row(), 2);
    view.setCurrentIndex(model.index(0, 2));
    EXPECT_EQ(ds->AsString("id"), "1");

    // Selected rows come in selection order; a Ctrl-pick keeps them while RecNo follows.
    QItemSelectionModel* sel = view.selectionModel();
    sel->select(model.index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    sel->select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(DataSetModel::SelectedRows(&view), QList<int>({2, 0}));
    sel->setCurrentIndex(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(ds->RecNo(), 2);
    EXPECT_EQ(DataSetModel::SelectedRows(&view), QList<int>({2, 0, 1}));
    sel->select(model.index(0, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    EXPECT_EQ(DataSetModel::SelectedRows(&view), QList<int>({2, 1}));

    ds->Open({"id", "name"}, {{QString("7"), QString("新")}, {QString("8"), QString("b")}});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 2).data().toString(), "新");
    EXPECT_EQ(model.index(0, 3).data().toString(), ""); // the new result has no relay column
    EXPECT_EQ(view.currentIndex().row(), 0);
    ds->Next();
    EXPECT_EQ(view.currentIndex().row(), 1);

    ds.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.GetDataSet(), nullptr);
}
