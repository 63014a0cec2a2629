// The run-log page's own controls: pager bar, search box, terminal list and popup menu.
#pragma once

#include "platform/DataSet.h"

#include <QString>

class DataSetModel;
class DbLookupCombo;
class DbNavigator;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

struct LogPageControls {
    DataSetModel* DsLog = nullptr; // GrdLog over QueryGrdLog

    QComboBox* ComboxLogPageSize = nullptr;
    QLineEdit* EdtLogCurPage = nullptr;
    QLabel* LblLogTotalPage = nullptr;
    DbNavigator* NavLogControl = nullptr;

    DbLookupCombo* DbCbxDevLog = nullptr; // "选择设备：" over QueryCondDevLog
    DataSet QueryCondDevLog;
    QPlainTextEdit* MemoLog = nullptr;    // "日志内容："
    QCheckBox* CbxLogTime = nullptr;      // "指定时间"
    QDateEdit* DtpLogStart = nullptr;
    QDateEdit* DtpLogEnd = nullptr;
    QPushButton* BtnLogSearch = nullptr;
    QPushButton* BtnLogClear = nullptr;

    QMenu* PmenuLogGrd = nullptr;
    QAction* N22 = nullptr; // "删除已选操作结果记录(&D)"
    QAction* N53 = nullptr; // "全部选择"
    QAction* N43 = nullptr; // "刷新操作结果列表(&R)"
    QAction* N40 = nullptr; // "导出操作结果列表(&E)"

    QString Sql; // the page's current statement (see InsPageControls::Sql)
};
