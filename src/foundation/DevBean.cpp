// The records: a terminal, an operator account and one row of the operation log.
#include "foundation/DevBean.h"

#include "foundation/ConsoleLog.h"
#include "foundation/ConsoleServices.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "platform/TrimBlanks.h"

namespace {

int SettingSocketPort()
{
    const Consts::IntSetting& port = Consts::SettingSocketPort;
    return MainForm ? MainForm->IniReadInteger(port.key, port.def) : port.def;
}

} // namespace

DevBean::DevBean() : SocketPort(SettingSocketPort()) {}

DevBean::DevBean(int id)
{
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_baseinfo a , zol_status b where a.id = b.zol_id ") +
                              QStringLiteral(" and a.id = ") + QString::number(id));
    if (!q.IsEmpty()) {
        Id = q.AsInteger(QStringLiteral("Id"));
        Name = q.AsString(QStringLiteral("Name"));
        Mac = q.AsString(QStringLiteral("Mac"));
        position = q.AsString(QStringLiteral("position"));
        status = q.AsString(QStringLiteral("status"));
        ip = q.AsString(QStringLiteral("ip"));
        relayip = q.AsString(QStringLiteral("relayip"));
        port = q.AsInteger(QStringLiteral("port"));
        Memo = q.AsString(QStringLiteral("Memo"));
    }
    State = Consts::ProbePending;
    SocketPort = SettingSocketPort();
    Reported = false;
    Elapsed = 0;
    FormDbMod->CloseQuery(q);
}

UserBean::UserBean(int id)
{
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_user a ") +
                              QStringLiteral(" where a.id = ") + QString::number(id));
    if (!q.IsEmpty()) {
        Id = q.AsInteger(QStringLiteral("Id"));
        Name = q.AsString(QStringLiteral("Name"));
        landname = q.AsString(QStringLiteral("landname"));
        remark = q.AsString(QStringLiteral("remark"));
        type = q.AsInteger(QStringLiteral("type"));
    }
    FormDbMod->CloseQuery(q);
}

int OperationBean::Save()
{
    if (zol_id < 1)
        return 0;
    if (user_id < 1 && CurrentUser)
        user_id = CurrentUser->Id;
    if (IsBlank(user_name) && CurrentUser)
        user_name = CurrentUser->Name;
    if (optime.isEmpty())
        optime = ConsoleLog::NowString();
    const QString sql =
        QStringLiteral("insert into zol_op_log ( zol_id , user_id , user_name , optime , operation , "
                       "status , memo ) values (") +
        QString::number(zol_id) + "," + QString::number(user_id) + ",'" + SqlEscape(user_name) +
        "','" + SqlEscape(optime) + "','" + SqlEscape(operation) + "','" + SqlEscape(status) +
        "','" + SqlEscape(memo) + "')";
    return FormDbMod->ExecSql(sql);
}
