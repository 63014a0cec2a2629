// DataSet navigation, lookup, editing and observers; DataSetModel over a QTableView.
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/Exception.h"

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

QString Position(const DataSet& d)
{
    return QString("%1%2%3").arg(d.RecNo()).arg(d.Eof() ? " eof" : "").arg(d.Bof() ? " bof" : "");
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

TEST(DataSet, NavigationOnEmptyAndFilledSets)
{
    DataSet ds;
    EXPECT_THROW(ds.AsString("id"), Exception); // closed: no fields
    ds.Open({"id"}, {});
    ds.Next();
    EXPECT_EQ(Position(ds), "0 eof bof");
    EXPECT_TRUE(ds.IsNull("ID")); // an empty set reads as NULL
    EXPECT_EQ(ds.AsInteger("id"), 0);
    EXPECT_THROW(ds.SetField("id", QString("1")), Exception);

    ds = Terminals();
    QStringList seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen << ds.AsString("ID");
    EXPECT_EQ(seen, QStringList({"1", "2", "3"}));
    EXPECT_EQ(Position(ds), "3 eof"); // Eof keeps the last record current
    ds.MoveBy(-10);
    EXPECT_EQ(Position(ds), "1 bof");
    ds.SetRecNo(99);
    EXPECT_EQ(Position(ds), "3");
}

TEST(DataSet, ValuesLocateAndEditing)
{
    DataSet ds = Terminals();
    EXPECT_EQ(ds.AsString("NAME"), "一号机");
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
    ds.Open({"name"}, {{QString("Abc")}, {std::nullopt}, {QString("abc")}, {QString("abc")}});
    EXPECT_TRUE(ds.Locate("NAME", "abc"));
    EXPECT_FALSE(ds.Locate("name", "ABC"));
    EXPECT_FALSE(ds.Locate("name", ""));
    EXPECT_EQ(ds.RecNo(), 3);

    ds.Open({"pid", "name"}, {});
    ds.Append();
    ds.SetField("NAME", QString("explorer.exe"));
    ds.Append();
    EXPECT_TRUE(ds.IsNull("name"));
    ds.Delete();
    EXPECT_EQ(Position(ds) + " " + ds.AsString("name"), "1 explorer.exe");
}

TEST(DataSet, ObserversHearResetsMovesAndChangesButAreNotCopied)
{
    DataSet ds = Terminals();
    Recorder r;
    ds.AddObserver(&r);
    ds.Next();
    ds.Last();
    ds.Next(); // already on the last record: no move
    ds.Locate("id", "1");
    EXPECT_EQ(r.moves, std::vector<int>({2, 3, 1}));
    ds.SetCell(1, 1, QString("改名"));
    EXPECT_EQ(r.changedRows, std::vector<int>({1}));
    DataSet(ds).Next(); // the copy has no observers
    EXPECT_EQ(r.moves.size(), 3u);

    ds = Terminals(); // observers of the assigned-to set stay and hear it
    DataSet taken(std::move(ds)); // the emptied set tells its observer too
    EXPECT_EQ(r.resets, 2);
    {
        DataSet shortLived;
        shortLived.AddObserver(&r);
    }
    EXPECT_TRUE(r.destroyed);
}

// Column layout and selection order on a real grid are covered by the terminal-detail tests.
TEST(DataSetModel, ShowsCellsFollowsRecNoAndSurvivesTheSetGoingAway)
{
    auto ds = std::make_unique<DataSet>(Terminals());
    DataSetModel model(ds.get(), {{"id", "编号", 0, false, Qt::AlignLeft},
                                  {"", "序号", 40, true, Qt::AlignCenter},
                                  {"relayip", "继电器", 90, true, Qt::AlignRight},
                                  {"absent", "无此列", 50, true, Qt::AlignLeft}});
    QTableView view;
    model.ApplyColumns(&view);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.index(r, c).data().toString();
        return cells.join('|');
    };
    EXPECT_EQ(row(0) + " " + row(1), "1|1|10.0.0.1| 2|2||"); // NULL and absent fields show blank
    EXPECT_EQ(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight));
    EXPECT_FALSE(view.isColumnHidden(view.currentIndex().column()));
    ds->Locate("id", "3");
    EXPECT_EQ(view.currentIndex().row(), 2);
    view.setCurrentIndex(model.index(0, 2));
    EXPECT_EQ(ds->RecNo(), 1);

    ds->Open({"ID"}, {{QString("7")}, {QString("8")}}); // a new result without a relay column
    EXPECT_EQ(row(1), "8|2||");
    EXPECT_EQ(view.currentIndex().row(), 0);
    ds.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.GetDataSet(), nullptr);
}
