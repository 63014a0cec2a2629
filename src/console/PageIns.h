// The operation-record page's own controls: pager bar, search box, terminal list and popup menu.
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
class QPushButton;

struct InsPageControls {
    DataSetModel* DsIns = nullptr; // GrdIns over QueryGrdIns

    QComboBox* ComboxInsPageSize = nullptr;
    QLineEdit* EdtInsCurPage = nullptr;
    QLabel* LblInsTotalPage = nullptr;
    DbNavigator* NavInsControl = nullptr;

    DbLookupCombo* DbCbxDevIns = nullptr; // "设备名称：" over QueryCondDevIns
    DataSet QueryCondDevIns;
    QLineEdit* EdtInsOperation = nullptr; // "操作内容："
    QLineEdit* EdtInsUserName = nullptr;  // "操 作 员："
    QCheckBox* CbxInsTime = nullptr;      // "指定时间"
    QDateEdit* DtpInsStart = nullptr;
    QDateEdit* DtpInsEnd = nullptr;
    QPushButton* BtnInsSearch = nullptr;
    QPushButton* BtnInsClear = nullptr;

    QMenu* PmenuInsGrd = nullptr;
    QAction* N23 = nullptr; // "删除已选日志记录(&D)"
    QAction* N10 = nullptr; // "全部选择"
    QAction* F2 = nullptr;  // "刷新操作日志列表(&R)"
    QAction* N37 = nullptr; // "导出操作日志列表(&E)"

    // The page's current statement: the design statement until its first search, then the last
    // search's. Showing the page hands it to the pager again.
    QString Sql;
};
