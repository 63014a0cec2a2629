// The planned-task dialog: terminal and type lists, the shutdown time and pause, loading a stored
// task, and the three statements of a save.
#include "windows/TaskEdit.h"

#include "console/Icons.h"
#include "console/MainForm.h"
#include "foundation/ColumnLengths.h"
#include "foundation/DateFormat.h"
#include "foundation/DbMod.h"
#include "foundation/SqlText.h"
#include "platform/DbLookupCombo.h"
#include "platform/Exception.h"
#include "windows/DialogKit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

TFormTaskEdit* FormTaskEdit = nullptr;

using namespace DialogKit;

namespace {

const QString AllTerminalsList = QStringLiteral(
    "select 0 as id , '全部设备' as name from dual \nunion \nselect id,name  from zol_baseinfo");
const QString TerminalList = QStringLiteral("select id,name  from zol_baseinfo");
const QString AllTerminals = QStringLiteral("全部设备");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString RestartType = QStringLiteral("2");
const QString DailyUnit = QStringLiteral("天");
const QString DatabaseFailure = QStringLiteral("数据库异常!");
// A MAC address, the longest detail of a terminal that the dialog shows whole.
const QString WidestAddress = QStringLiteral("00-00-00-00-00-00");
constexpr int PauseChoices[] = {10, 20, 30, 60, 120};
constexpr int SecondsPerMinute = 60;

QDateTime StoredTime(const QString& text)
{
    const QDateTime value = StrToDateTime(text);
    if (!value.isValid())
        throw Exception(QStringLiteral("'") + text + QStringLiteral("' is not a valid date and time"));
    return value;
}

} // namespace

TFormTaskEdit::TFormTaskEdit(QWidget* owner) : QDialog(owner)
{
    SetUp(this, "FormTaskEdit", "任务信息");
    BuildControls();
    FormCreate();
}

void TFormTaskEdit::BuildControls()
{
    GbxTask = new QGroupBox(QStringLiteral("计划任务"), this);
    GbxTask->setObjectName(QStringLiteral("GbxTask"));
    DbCbxDevTask = new DbLookupCombo(GbxTask);
    DbCbxDevTask->setObjectName(QStringLiteral("DbCbxDevTask"));
    DbCbxDevTask->SetListSource(&QueryDevTask, QStringLiteral("id"), QStringLiteral("name"));

    GroupBox3 = new QGroupBox(QStringLiteral("设备明细"), GbxTask);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    LblDevId = NewDataLabel(GroupBox3, "LblDevId");
    LblDevIp = NewDataLabel(GroupBox3, "LblDevIp");
    LblDevMac = NewDataLabel(GroupBox3, "LblDevMac");
    LblDevPos = NewDataLabel(GroupBox3, "LblDevPos");
    auto* details = new QGridLayout(GroupBox3);
    const std::pair<const char*, QLabel*> detailRows[] = {
        {"设备编号：", LblDevId}, {"IP地址：", LblDevIp}, {"Mac 地址：", LblDevMac}, {"地理位置：", LblDevPos}};
    int line = 0;
    for (const auto& [caption, value] : detailRows) {
        details->addWidget(new QLabel(QString::fromUtf8(caption), GroupBox3), line / 2, (line % 2) * 2);
        details->addWidget(value, line / 2, (line % 2) * 2 + 1);
        ++line;
    }
    details->setColumnStretch(1, 1);
    details->setColumnStretch(3, 1);
    // The details never widen the dialog: each has room for an address, and a longer text (a
    // position) is cut at the dialog's edge.
    for (ElidedLabel* value : {LblDevId, LblDevIp, LblDevMac, LblDevPos}) {
        value->setText(WidestAddress);
        value->setMinimumWidth(value->sizeHint().width());
        value->clear();
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    GroupBox2 = new QGroupBox(QStringLiteral("任务明细"), GbxTask);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    LblTaskId = NewLabel(GroupBox2, "LblTaskId");
    LblTaskId->hide();
    DbCbxTaskType = new DbLookupCombo(GroupBox2);
    DbCbxTaskType->setObjectName(QStringLiteral("DbCbxTaskType"));
    DbCbxTaskType->SetListSource(&QueryTaskType, QStringLiteral("task_type_id"), QStringLiteral("task_type_name"));
    DtpShutdownTime = new QDateTimeEdit(GroupBox2);
    DtpShutdownTime->setObjectName(QStringLiteral("DtpShutdownTime"));
    DtpShutdownTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    DtpShutdownTime->setCalendarPopup(false);
    CbxLoop = new QCheckBox(QStringLiteral("每天循环执行"), GroupBox2);
    CbxLoop->setObjectName(QStringLiteral("CbxLoop"));
    CbxLoop->setChecked(true);
    CbxPauseInterval = new QComboBox(GroupBox2);
    CbxPauseInterval->setObjectName(QStringLiteral("CbxPauseInterval"));
    for (int minutes : PauseChoices)
        CbxPauseInterval->addItem(QString::number(minutes));
    CbxPauseInterval->setCurrentIndex(0);
    CbxPauseInterval->setEnabled(false);
    MemoTaskMemo = NewMemo(GroupBox2, "MemoTaskMemo", ColumnLengths::TaskMemo);
    auto* task = new QGridLayout(GroupBox2);
    task->addWidget(new QLabel(QStringLiteral("选择类型："), GroupBox2), 0, 0);
    task->addWidget(DbCbxTaskType, 0, 1, 1, 2);
    task->addWidget(new QLabel(QStringLiteral("关机时间："), GroupBox2), 1, 0);
    task->addWidget(DtpShutdownTime, 1, 1);
    task->addWidget(CbxLoop, 1, 2);
    task->addWidget(new QLabel(QStringLiteral("暂停时间间隔："), GroupBox2), 2, 0);
    auto* pause = new QHBoxLayout;
    pause->addWidget(CbxPauseInterval);
    pause->addWidget(new QLabel(QStringLiteral(" 分钟"), GroupBox2));
    pause->addStretch(1);
    task->addLayout(pause, 2, 1, 1, 2);
    task->addWidget(MemoTaskMemo, 3, 0, 1, 3);

    auto* outer = new QGridLayout(GbxTask);
    outer->addWidget(new QLabel(QStringLiteral("选择设备："), GbxTask), 0, 0);
    outer->addWidget(DbCbxDevTask, 0, 1);
    outer->addWidget(GroupBox3, 1, 0, 1, 2);
    outer->addWidget(GroupBox2, 2, 0, 1, 2);
    outer->setColumnStretch(1, 1);

    Panel1 = NewButtonPanel(this, BtnOk, "BtnOk", BtnCancel, "BtnCancel");
    Panel1->setObjectName(QStringLiteral("Panel1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GbxTask);
    layout->addWidget(Panel1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    DbCbxDevTask->setFocus();

    connect(DbCbxDevTask, &DbLookupCombo::Picked, this, [this] { DbCbxDevTaskClick(); });
    connect(DbCbxTaskType, &DbLookupCombo::Picked, this, [this] { DbCbxTaskTypeClick(); });
    connect(CbxLoop, &QCheckBox::toggled, this, [this] { CbxLoopClick(); });
    connect(BtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });
}

void TFormTaskEdit::FormCreate()
{
    QueryDevTask.CommandText = AllTerminalsList;
    FormDbMod->ReopenQuery(QueryDevTask);
    DbCbxDevTask->SetKeyValue(QStringLiteral("0"));
    QueryTaskType.CommandText = QStringLiteral("select * from zol_tasktype");
    FormDbMod->ReopenQuery(QueryTaskType);
    DbCbxDevTaskClick();
    DbCbxTaskType->SetKeyValue(QStringLiteral("1"));
    DtpShutdownTime->setDateTime(QDateTime::currentDateTime());
    editMode = false;
}

void TFormTaskEdit::DbCbxDevTaskClick()
{
    int id = 0;
    if (!DbCbxDevTask->Text().isEmpty())
        id = QueryDevTask.AsInteger(QStringLiteral("id"));
    if (id == 0) {
        for (ElidedLabel* label : {LblDevId, LblDevIp, LblDevMac, LblDevPos})
            label->setText(AllTerminals);
        return;
    }
    FormDbMod->QuerySqlOn(QStringLiteral("select * from zol_baseinfo where id = ") + QString::number(id),
                          QueryDevDetail);
    if (QueryDevDetail.IsEmpty()) {
        for (ElidedLabel* label : {LblDevId, LblDevIp, LblDevMac, LblDevPos})
            label->clear();
    } else {
        LblDevId->setText(QueryDevDetail.AsString(QStringLiteral("id")));
        LblDevIp->setText(QueryDevDetail.AsString(QStringLiteral("ip")));
        LblDevMac->setText(QueryDevDetail.AsString(QStringLiteral("mac")));
        LblDevPos->setText(QueryDevDetail.AsString(QStringLiteral("position")));
    }
    FormDbMod->CloseQuery(QueryDevDetail);
}

void TFormTaskEdit::DbCbxTaskTypeClick()
{
    CbxPauseInterval->setEnabled(QueryTaskType.AsString(QStringLiteral("task_type_id")) == RestartType);
}

void TFormTaskEdit::CbxLoopClick()
{
    if (!CbxLoop->isChecked())
        CbxLoop->setChecked(true);
}

int TFormTaskEdit::SnapPause(int minutes)
{
    for (int choice : PauseChoices)
        if (minutes <= choice)
            return choice;
    return PauseChoices[std::size(PauseChoices) - 1];
}

void TFormTaskEdit::LoadTask(int taskId)
{
    if (taskId < 0)
        return;
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_scheduletask where task_id=") +
                                    QString::number(taskId));
    if (q.IsEmpty()) {
        editMode = false;
    } else {
        editMode = true;
        LblTaskId->setText(QString::number(taskId));
        DbCbxDevTask->SetKeyValue(QString::number(q.AsInteger(QStringLiteral("zol_id"))));
        const QString type = q.AsString(QStringLiteral("task_type_id"));
        DbCbxTaskType->SetKeyValue(type);
        const QString shutdown = q.AsString(QStringLiteral("shutdown_time"));
        if (!TMainForm::IsBlank(shutdown))
            DtpShutdownTime->setDateTime(StoredTime(shutdown));
        if (type == RestartType) {
            const QString up = q.AsString(QStringLiteral("up_time"));
            if (!TMainForm::IsBlank(up)) {
                CbxPauseInterval->setEnabled(true);
                const qint64 seconds = std::llabs(StoredTime(shutdown).secsTo(StoredTime(up)));
                const int minutes = static_cast<int>(seconds / SecondsPerMinute);
                CbxPauseInterval->setCurrentText(QString::number(SnapPause(minutes)));
            } else {
                CbxPauseInterval->setCurrentIndex(0);
            }
        }
        MainForm->SetMemoText(MemoTaskMemo, q.AsString(QStringLiteral("task_memo")));
        DbCbxDevTaskClick();
    }
    FormDbMod->CloseQuery(q);
    FormDbMod->QuerySqlOn(TerminalList, QueryDevTask);
}

void TFormTaskEdit::BtnOkClick()
{
    if (MainForm->WarnIfBlank(DbCbxDevTask->Text(), QStringLiteral("请选择设备!")))
        return;
    if (MainForm->WarnIfBlank(DbCbxTaskType->Text(), QStringLiteral("请选择任务类型!")))
        return;
    const QString device = QueryDevTask.AsString(QStringLiteral("id"));
    const QString type = QueryTaskType.AsString(QStringLiteral("task_type_id"));
    const QString unit = DailyUnit;
    const QDateTime shutdownAt = DtpShutdownTime->dateTime();
    const QString shutdown = shutdownAt.toString(TimeFormat);
    QString up = QStringLiteral("null");
    if (CbxPauseInterval->isEnabled()) {
        const int pause = CbxPauseInterval->currentText().toInt();
        up = QStringLiteral("'") + shutdownAt.addSecs(qint64(pause) * SecondsPerMinute).toString(TimeFormat) +
             QStringLiteral("'");
    }
    const QString memo = SqlEscape(MainForm->GetMemoText(MemoTaskMemo));

    if (editMode) {
        const int taskId = LblTaskId->text().toInt();
        SaveEdit(QStringLiteral("update zol_scheduletask set task_type_id=") + type +
                     QStringLiteral(",shutdown_time='") + shutdown + QStringLiteral("',up_time=") + up +
                     QStringLiteral(",exec_unit='") + unit + QStringLiteral("',task_memo='") + memo +
                     QStringLiteral("' where task_id=") + QString::number(taskId),
                 taskId);
        return;
    }
    QString sql;
    if (device != QStringLiteral("0")) {
        sql = QStringLiteral("insert into zol_scheduletask ( zol_id , task_type_id , shutdown_time , up_time , "
                             "exec_unit , task_memo ) values (") +
              device + QStringLiteral(",") + type + QStringLiteral(",'") + shutdown + QStringLiteral("',") + up +
              QStringLiteral(",'") + unit + QStringLiteral("','") + memo + QStringLiteral("')");
    } else {
        sql = QStringLiteral("insert into zol_scheduletask ( zol_id , task_type_id , shutdown_time , up_time , "
                             "exec_unit , task_memo )") +
              QStringLiteral("  select id,") + type + QStringLiteral(",'") + shutdown + QStringLiteral("',") + up +
              QStringLiteral(",'") + unit + QStringLiteral("','") + memo + QStringLiteral("' from zol_baseinfo");
    }
    // A statement the database refuses keeps what was typed; one that wrote no row (no terminals
    // for "全部设备") closes the dialog without refreshing.
    const std::optional<int> rows = FormDbMod->TryExecSql(sql);
    if (!rows) {
        MainForm->ShowError(DatabaseFailure);
        return;
    }
    if (*rows > 0)
        MainForm->RefreshActivePage();
    close();
}

// A statement the database refuses keeps what was typed. A task deleted meanwhile (by another
// console) cannot be saved: the operator is told, and the refreshed page no longer shows it.
void TFormTaskEdit::SaveEdit(const QString& update, int taskId)
{
    const TFormDbMod::RowUpdate outcome =
        FormDbMod->UpdateRow(update, QStringLiteral("zol_scheduletask"), QStringLiteral("task_id"), taskId);
    if (outcome == TFormDbMod::RowUpdate::Failed) {
        MainForm->ShowError(DatabaseFailure);
        return;
    }
    if (outcome == TFormDbMod::RowUpdate::Missing)
        MainForm->ShowWarning(QStringLiteral("修改失败,任务已不存在!"));
    MainForm->RefreshActivePage();
    close();
}

void TFormTaskEdit::BtnCancelClick()
{
    close();
}
