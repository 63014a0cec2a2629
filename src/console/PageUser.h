// The operator-account page's own controls: pager bar, search box and popup menu.
#pragma once

#include <QString>

class DataSetModel;
class DbNavigator;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

struct UserPageControls {
    DataSetModel* DsUser = nullptr; // GrdUser over QueryGrdUser

    QComboBox* ComboxUserPageSize = nullptr;
    QLineEdit* EdtUserCurPage = nullptr;
    QLabel* LblUserTotalPage = nullptr;
    DbNavigator* NavUserControl = nullptr;

    QLineEdit* EdtUserId = nullptr;        // "用户编号：", digits only
    QLineEdit* EdtUserName = nullptr;      // "用户姓名："
    QLineEdit* EdtUserLoginName = nullptr; // "登 录 名："
    QComboBox* CbxUserType = nullptr;      // "用户类型：": "", "系统管理员", "普通用户"
    QPushButton* BtnSearchUser = nullptr;
    QPushButton* BtnUserClear = nullptr;

    QMenu* PmenuUserGrd = nullptr;
    QAction* MenuItem1 = nullptr;  // "新增用户(&A)"
    QAction* MenuItem15 = nullptr; // "修改用户(&M)"
    QAction* MenuItem16 = nullptr; // "删除已选用户(&D)"
    QAction* N50 = nullptr;        // "全部选择"
    QAction* MenuItem17 = nullptr; // "刷新用户列表(&R)"
    QAction* N14 = nullptr;        // "导出用户列表(&E)"

    QString Sql; // the page's current statement (see InsPageControls::Sql)
};
