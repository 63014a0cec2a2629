// The records: a terminal, an operator account and one row of the operation log.
#pragma once

#include "foundation/Consts.h"

#include <QString>

class DevBean {
public:
    DevBean();            // empty terminal; SocketPort from the settings
    explicit DevBean(int id); // loads terminal id (base row joined with its status row)

    int Id = 0;
    QString Name;
    QString ip;
    QString Mac;
    QString position;
    QString status;
    int State = Consts::ProbePending;
    int SocketPort = 9521;
    QString relayip;
    int port = 0;
    QString Memo;
    bool Reported = false;
    int Elapsed = 0;
};

class UserBean {
public:
    UserBean() = default;
    explicit UserBean(int id);

    int Id = 0;
    QString Name;
    QString landname;
    QString remark;
    int type = 0;
};

class OperationBean {
public:
    OperationBean() = default;
    // Inserts the row, filling in the current operator and the time when missing.
    // Rows affected (1), or 0 when nothing was written.
    int Save();

    int id = 0;
    int zol_id = 0;
    int user_id = 0;
    QString status = QStringLiteral("0");
    QString operation;
    QString user_name;
    QString optime;
    QString memo;
};
