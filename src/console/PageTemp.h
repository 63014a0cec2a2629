// The temperature-record page's own controls: pager bar, search box, terminal list and popup menu.
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

struct TempPageControls {
    DataSetModel* DsTemp = nullptr; // GrdTemp over QueryGrdTemp

    QComboBox* ComboxTempPageSize = nullptr;
    QLineEdit* EdtTempCurPage = nullptr;
    QLabel* LblTempTotalPage = nullptr;
    DbNavigator* NavTempControl = nullptr;

    DbLookupCombo* DbCbxDevTemp = nullptr; // "选择设备：" over QueryCondDevTemp
    DataSet QueryCondDevTemp;
    QComboBox* CbxCondTemp = nullptr;     // 小于, 小于等于, 等于, 大于, 大于等于, 区间
    QLineEdit* EdtTempValue = nullptr;    // first value; the upper bound of a range
    QLabel* LblTempRange = nullptr;       // "--", shown for a range
    QLineEdit* EdtTempValue2 = nullptr;   // the lower bound of a range
    QCheckBox* CbxTempTime = nullptr;     // "指定时间"
    QDateEdit* DtpTempStart = nullptr;
    QDateEdit* DtpTempEnd = nullptr;
    QPushButton* BtnTempSearch = nullptr;
    QPushButton* BtnTempClear = nullptr;

    QMenu* PmenuTempGrd = nullptr;
    QAction* MenuItem18 = nullptr; // "删除已选操作温度记录(&D)"
    QAction* MenuItem20 = nullptr; // "全部选择"
    QAction* MenuItem21 = nullptr; // "刷新温度记录列表(&R)"
    QAction* MenuItem23 = nullptr; // "导出温度记录列表(&E)"

    QString Sql; // the page's current statement (see InsPageControls::Sql)
};
