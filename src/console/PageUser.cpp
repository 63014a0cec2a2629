// The operator-account page: grid, pager bar, search box, search, show and hide, and its commands.
#include "console/MainForm.h"

#include "console/ModalDialog.h"
#include "console/RecordPageKit.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "foundation/TPagerNavigator.h"
#include "platform/EventHooks.h"
#include "platform/TrimBlanks.h"
#include "windows/UserInsert.h"
#include "windows/UserUpdate.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>

using namespace RecordPageKit;

namespace {
const QString UserSelect = QStringLiteral(
    "select id,name,landname,password,case type when 1 then '管理员      ' when 2 then '普通用户      ' "
    "end as type ,remark from zol_user");
// The operator number goes into the statement bare, so the box takes digits only.
constexpr int UserIdDigits = 9;
} // namespace

void TMainForm::BuildPageUser()
{
    UserPageControls& c = UserPage;
    c.Sql = UserSelect;
    QueryGrdUser.CommandText = c.Sql;
    c.DsUser = AttachGrid(GrdUser, &QueryGrdUser,
                          {Column("id", "编号", 0, false), Column("", "序号", 40), Column("id", "用户ID", 70),
                           Column("name", "姓名", 120), Column("landname", "登录名", 120),
                           Column("password", "密码（已加密）", 260), Column("type", "用户类型", 100),
                           Column("remark", "用户备注", 220)},
                          QStringLiteral("DsUser"));
    const PagerBar bar = AddPagerBar(PageUser, QStringLiteral("User"));
    c.ComboxUserPageSize = bar.pageSize;
    c.EdtUserCurPage = bar.curPage;
    c.LblUserTotalPage = bar.total;
    c.NavUserControl = bar.navigator;

    QGroupBox* box = GbxUserSearch;
    auto* grid = new QGridLayout(box);
    c.EdtUserId = NewEdit(box, "EdtUserId");
    c.EdtUserId->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(UserIdDigits)), c.EdtUserId));
    c.EdtUserName = NewEdit(box, "EdtUserName");
    c.EdtUserLoginName = NewEdit(box, "EdtUserLoginName");
    c.CbxUserType = new QComboBox(box);
    c.CbxUserType->setObjectName(QStringLiteral("CbxUserType"));
    c.CbxUserType->addItems({QString(), QStringLiteral("系统管理员"), QStringLiteral("普通用户")});
    c.CbxUserType->setCurrentIndex(0);
    c.BtnSearchUser = NewButton(box, "BtnSearchUser", "搜索");
    c.BtnUserClear = NewButton(box, "BtnUserClear", "清空");
    AddField(grid, 0, 0, "用户编号：", c.EdtUserId);
    AddField(grid, 0, 2, "用户姓名：", c.EdtUserName);
    AddField(grid, 1, 0, "登 录 名：", c.EdtUserLoginName);
    AddField(grid, 1, 2, "用户类型：", c.CbxUserType);
    grid->addWidget(c.BtnSearchUser, 0, 4);
    grid->addWidget(c.BtnUserClear, 1, 4);
    grid->setColumnStretch(5, 1);

    connect(c.BtnSearchUser, &QPushButton::clicked, this, [this] { BtnSearchUserClick(); });
    connect(c.BtnUserClear, &QPushButton::clicked, this, [this] { BtnUserClearClick(); });
    for (QWidget* w : std::initializer_list<QWidget*>{c.EdtUserId, c.EdtUserName, c.EdtUserLoginName, c.CbxUserType})
        OnKeyUp(w, Qt::Key_Return, [this] { EdtUserIdKeyUp(Qt::Key_Return); });
    OnEnter(c.EdtUserId, [this] { EdtDevNameEnter(); });
    OnEnter(c.EdtUserLoginName, [this] { EdtDevIpEnter(); });
    OnEnter(c.EdtUserName, [this] { EdtDevMacEnter(); });

    c.PmenuUserGrd = NewPopup(GrdUser, "PmenuUserGrd");
    c.MenuItem1 = AddItem(c.PmenuUserGrd, "MenuItem1", "新增用户(&A)");
    c.MenuItem15 = AddItem(c.PmenuUserGrd, "MenuItem15", "修改用户(&M)");
    c.MenuItem16 = AddItem(c.PmenuUserGrd, "MenuItem16", "删除已选用户(&D)");
    c.PmenuUserGrd->addSeparator();
    c.N50 = AddItem(c.PmenuUserGrd, "N50", "全部选择"); // select all: connected with the grid behaviour
    c.MenuItem17 = AddItem(c.PmenuUserGrd, "MenuItem17", "刷新用户列表(&R)"); // connected with the grid behaviour
    c.PmenuUserGrd->addSeparator();
    c.N14 = AddItem(c.PmenuUserGrd, "N14", "导出用户列表(&E)"); // export: connected with the exports
    connect(c.MenuItem1, &QAction::triggered, this, [this] { MenuItem1Click(); });
    connect(c.MenuItem15, &QAction::triggered, this, [this] { MenuItem15Click(); });
    connect(c.MenuItem16, &QAction::triggered, this, [this] { MenuItem16Click(); });
}

void TMainForm::BtnSearchUserClick()
{
    const UserPageControls& c = UserPage;
    const QString id = c.EdtUserId->text();
    const QString name = c.EdtUserName->text();
    const QString landname = c.EdtUserLoginName->text();
    const int type = c.CbxUserType->currentIndex();

    QString sql = UserSelect + QStringLiteral(" where 1=1 ");
    if (!IsBlank(name))
        sql += QStringLiteral(" and name like '%") + SqlLikeText(TrimBlanks(name)) + QStringLiteral("%'");
    if (!IsBlank(landname))
        sql += QStringLiteral(" and  landname like '") + SqlLikeText(TrimBlanks(landname)) + QStringLiteral("%'");
    if (!IsBlank(id))
        sql += QStringLiteral(" and id  = ") + TrimBlanks(id);
    if (type > 0)
        sql += QStringLiteral(" and type =") + QString::number(type);
    sql += QStringLiteral(" order by id ");
    UserPage.Sql = sql;
    Pagers[3]->SetSql(sql);
}

void TMainForm::BtnUserClearClick()
{
    UserPage.EdtUserName->setText(QString());
    UserPage.EdtUserLoginName->setText(QString());
    UserPage.EdtUserId->setText(QString());
    UserPage.CbxUserType->setCurrentIndex(0);
}

void TMainForm::EdtUserIdKeyUp(int key)
{
    if (key == Qt::Key_Return)
        BtnSearchUserClick();
}

void TMainForm::PageUserShow()
{
    if (Pagers[3])
        Pagers[3]->SetSql(UserPage.Sql);
}

void TMainForm::PageUserHide()
{
    FormDbMod->CloseQuery(QueryGrdUser);
}

void TMainForm::AddUser()
{
    RunRecordDialog<TFormUserInsert>(this, FormUserInsert, [](TFormUserInsert&) {});
    RefreshActivePage();
}

void TMainForm::EditUser()
{
    const int id = GetGridRowId();
    RunRecordDialog<TFormUserUpdate>(this, FormUserUpdate, [id](TFormUserUpdate& d) { d.LoadUser(id); });
    RefreshActivePage();
}

void TMainForm::DeleteUsers()
{
    DeleteGridRows(QStringLiteral("您确定要删除已选用户吗？"), [](const QString& key) {
        FormDbMod->ExecSql(QStringLiteral("delete from zol_user where id=") + key);
    });
}

void TMainForm::MenuItem1Click() { AddUser(); }
void TMainForm::MenuItem15Click() { EditUser(); }
// Deletes the selected accounts: the item's caption says so and the operators expect it.
void TMainForm::MenuItem16Click() { DeleteUsers(); }
