// The planned-task page's own controls: pager bar, search box, terminal and type lists, popup menu.
#pragma once

#include "platform/DataSet.h"

#include <QString>

class DataSetModel;
class DbLookupCombo;
class DbNavigator;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

struct TaskPageControls {
    DataSetModel* DsTask = nullptr; // GrdTask over QueryGrdTask

    QComboBox* ComboxTaskPageSize = nullptr;
    QLineEdit* EdtTaskCurPage = nullptr;
    QLabel* LblTaskTotalPage = nullptr;
    DbNavigator* NavTaskControl = nullptr;

    DbLookupCombo* DbCbxDevTask = nullptr;  // "选择设备：" over QueryCondDevTask
    DataSet QueryCondDevTask;
    DbLookupCombo* DbCbxTaskType = nullptr; // "任务类别：" over QueryCondTaskType
    DataSet QueryCondTaskType;
    QPushButton* BtnTaskSearch = nullptr;
    QPushButton* BtnTaskClear = nullptr;

    // Popup of GrdTask, and of the page control as a whole.
    QMenu* PmenuTaskGrd = nullptr;
    QAction* N38 = nullptr; // "新增任务(&N)"
    QAction* E2 = nullptr;  // "编辑任务(&M)"
    QAction* D2 = nullptr;  // "删除已选任务(&D)"
    QAction* N12 = nullptr; // "全部选择"
    QAction* N42 = nullptr; // "刷新任务列表(&R)"
    QAction* E3 = nullptr;  // "导出任务列表(&E)"

    QString Sql; // the page's current statement (see InsPageControls::Sql)
};
