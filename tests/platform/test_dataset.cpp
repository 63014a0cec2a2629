// DataSet navigation, lookup and observers; DataSetModel over a QTableView.
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/Exception.h"
#include "support/Thrown.h"

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
    QString heard;
    void DataSetReset() override { heard += "reset "; }
    void DataSetMoved(int recNo) override { heard += QString("moved%1 ").arg(recNo); }
    void DataSetRowChanged(int row) override { heard += QString("changed%1 ").arg(row); }
};

} // namespace

TEST(DataSet, NavigationValuesAndLocate)
{
    DataSet ds;
    EXPECT_THROW(ds.AsString("id"), Exception); // closed: no fields
    ds.Open({"id"}, {});
    EXPECT_EQ(Position(ds), "0 eof bof");
    EXPECT_TRUE(ds.IsNull("ID")); // an empty set reads as NULL
    EXPECT_THROW(ds.SetField("id", QString("1")), Exception);

    ds = Terminals();
    QStringList seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen << ds.AsString("NAME") + ds.AsString("temp") + (ds.IsNull("relayip") ? "null" : "");
    EXPECT_EQ(seen, QStringList({"一号机21.5", "二号机null", "abc"}));
    EXPECT_EQ(Position(ds), "3 eof"); // Eof keeps the last record current
    EXPECT_FALSE(ds.IsNull("name")); // an empty text is not NULL
    EXPECT_THROW(ds.AsInteger("temp"), Exception);
    ds.First();
    EXPECT_EQ(ds.AsInteger("temp"), 22); // a fraction is rounded
    EXPECT_EQ(Thrown([&] { ds.AsString("Mac"); }), "Field 'Mac' not found");

    // Locate: first exact, case-sensitive match; NULL is not ""; a miss stays put.
    ds.Open({"name"}, {{QString("Abc")}, {std::nullopt}, {QString("abc")}, {QString("abc")}});
    EXPECT_TRUE(ds.Locate("NAME", "abc"));
    EXPECT_FALSE(ds.Locate("name", "ABC") || ds.Locate("name", ""));
    EXPECT_EQ(ds.RecNo(), 3);
}

TEST(DataSet, ObserversHearMovesChangesAndResetsButAreNotCopied)
{
    Recorder r; // outlives the set, which tells it when it goes
    DataSet ds = Terminals();
    ds.AddObserver(&r);
    ds.Last();
    ds.Next(); // already on the last record: no move
    ds.Locate("id", "1");
    ds.SetCell(1, 1, QString("改名"));
    DataSet(ds).Next(); // the copy has no observers
    ds = Terminals();
    DataSet taken(std::move(ds)); // the emptied set tells its observer too
    EXPECT_EQ(r.heard, "moved3 moved1 changed1 reset reset ");
}

// A copy shares the rows until one side changes them; neither side ever sees the other's change.
TEST(DataSet, CopiesKeepTheirRowsWhateverTheOriginalDoes)
{
    DataSet ds = Terminals();
    const DataSet before(ds);
    EXPECT_EQ(&before.Rows(), &ds.Rows()); // taken without copying the rows
    ds.SetCell(0, 1, QString("改名"));
    ds.Append();
    ds.First();
    ds.Delete();
    DataSet copy(ds);
    copy.SetCell(0, 1, QString("副本"));
    ds.Clear();
    EXPECT_EQ(before.RecordCount(), 3);
    EXPECT_EQ(before.Cell(0, 1), QString("一号机"));
    EXPECT_EQ(copy.RecordCount(), 3);
    EXPECT_EQ(copy.Cell(0, 1), QString("副本"));
    EXPECT_EQ(ds.RecordCount(), 0);
    ds.Open({"id"}, {{QString("9")}});
    EXPECT_EQ(before.AsString(0), "1");
}

// The grid's current row and the set's RecNo in step: covered end to end by the device grid tests.
TEST(DataSetModel, ShowsCellsFollowsNewResultsAndSurvivesTheSetGoingAway)
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
    ds->Last();
    ds->Open({"ID"}, {{QString("7")}, {QString("8")}}); // a new result without a relay column
    EXPECT_EQ(row(1) + QString::number(view.currentIndex().row()), "8|2||0");
    ds.reset(); // the set tells the model it is going away
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.GetDataSet(), nullptr);
}
