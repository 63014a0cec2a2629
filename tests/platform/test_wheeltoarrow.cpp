// The wheel rule of the grids: one notch moves the focused grid's current row by one row.
#include "platform/DataSetModel.h"
#include "platform/WheelToArrow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <QTest>
#include <QWheelEvent>

namespace {

DataSet Rows(int n)
{
    std::vector<DataSet::Row> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({QString::number(i)});
    DataSet ds;
    ds.Open({"id"}, std::move(rows));
    return ds;
}

// Sends one wheel turn of angle delta to the grid's viewport, as the mouse over it would.
void Turn(QTableView& view, int delta)
{
    const QPointF at(5, 5);
    QWheelEvent e(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &e);
    QCoreApplication::processEvents(); // the posted arrow-key press
}

} // namespace

TEST(WheelToArrow, EachTurnMovesTheFocusedGridOneRowAndLeavesOtherGridsAlone)
{
    DataSet ds = Rows(30);
    DataSetModel model(&ds, {{"id", "编号", 60, true, Qt::AlignLeft}});
    QTableView view;
    model.ApplyColumns(&view);
    QObject owner;
    new WheelToArrow(&owner, [&] { return &view; });
    view.show();
    view.activateWindow();
    view.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.hasFocus(); }, 10000));

    ds.SetRecNo(10);
    Turn(view, -360); // a large backward turn is still one row down
    EXPECT_EQ(ds.RecNo(), 11);
    Turn(view, 120);
    Turn(view, 120);
    EXPECT_EQ(ds.RecNo(), 9);
    Turn(view, 0); // eaten, nothing posted
    EXPECT_EQ(ds.RecNo(), 9);

    ds.Close(); // a closed set: the wheel does what the grid does by itself
    EXPECT_FALSE(WheelToArrow::GridTakesWheel(&view));
    ds = Rows(30);
    view.clearFocus();
    EXPECT_FALSE(WheelToArrow::GridTakesWheel(&view));
    Turn(view, -120);
    EXPECT_EQ(ds.RecNo(), 1);
}
