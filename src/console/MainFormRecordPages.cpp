// The record pages as a whole: building them, their pagers, and the show and hide handlers that
// run when the active page changes.
#include "console/MainForm.h"

#include "foundation/TPagerNavigator.h"

#include <QTabWidget>

void TMainForm::BuildRecordPages()
{
    BuildDevSearch();
    BuildPageIns();
    BuildPageTask();
    BuildPageLog();
    BuildPageUser();
    BuildPageTemp();
    shownPage_ = GetActivePageIndex();
    connect(PageControlMain, &QTabWidget::currentChanged, this, [this](int index) { ActivePageChanged(index); });
}

void TMainForm::MakePagers()
{
    Pagers[0] = std::make_unique<TPagerNavigator>(LogPage.ComboxLogPageSize, LogPage.EdtLogCurPage, &QueryGrdLog,
                                                  LogPage.NavLogControl, LogPage.LblLogTotalPage);
    Pagers[1] = std::make_unique<TPagerNavigator>(InsPage.ComboxInsPageSize, InsPage.EdtInsCurPage, &QueryGrdIns,
                                                  InsPage.NavInsControl, InsPage.LblInsTotalPage);
    Pagers[2] = std::make_unique<TPagerNavigator>(TaskPage.ComboxTaskPageSize, TaskPage.EdtTaskCurPage,
                                                  &QueryGrdTask, TaskPage.NavTaskControl, TaskPage.LblTaskTotalPage);
    Pagers[3] = std::make_unique<TPagerNavigator>(UserPage.ComboxUserPageSize, UserPage.EdtUserCurPage,
                                                  &QueryGrdUser, UserPage.NavUserControl, UserPage.LblUserTotalPage);
    Pagers[4] = std::make_unique<TPagerNavigator>(TempPage.ComboxTempPageSize, TempPage.EdtTempCurPage,
                                                  &QueryGrdTemp, TempPage.NavTempControl, TempPage.LblTempTotalPage);
    // The three logs grow without end; their rows are keyed by id.
    for (const int log : {0, 1, 4})
        Pagers[log]->SetRowKey(QStringLiteral("id"));
}

// The page left behind is hidden first, then the new one is shown, as a page control does it.
void TMainForm::ActivePageChanged(int index)
{
    const int left = shownPage_;
    shownPage_ = index;
    if (left == index)
        return;
    switch (left) {
    case PageIdxIns: PageInsHide(); break;
    case PageIdxTask: PageTaskHide(); break;
    case PageIdxLog: PageLogHide(); break;
    case PageIdxUser: PageUserHide(); break;
    case PageIdxTemp: PageTempHide(); break;
    default: break;
    }
    switch (index) {
    case PageIdxIns: PageInsShow(); break;
    case PageIdxTask: PageTaskShow(); break;
    case PageIdxLog: PageLogShow(); break;
    case PageIdxUser: PageUserShow(); break;
    case PageIdxTemp: PageTempShow(); break;
    default: break;
    }
}
