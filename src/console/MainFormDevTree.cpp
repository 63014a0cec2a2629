// The device tree's operations of the main window: build, state moves, add and remove, and the
// readers that tell the commands which terminal is selected in the tree or a grid.
#include "console/DevTree.h"
#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/DevBean.h"
#include "platform/DataSetModel.h"
#include "platform/TrimBlanks.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QMetaObject>
#include <QTableView>
#include <QThread>
#include <QTreeWidget>

void TMainForm::BuildDevTree()
{
    DataSet q = FormDbMod->QuerySql(
        QStringLiteral("select * from zol_baseinfo a left join zol_status b on a.id = b.zol_id"));
    const int idField = q.FieldIndex(QStringLiteral("id"));
    const int nameField = q.FieldIndex(QStringLiteral("name"));
    const int statusField = q.FieldIndex(QStringLiteral("status"));

    std::vector<DevTree::Entry> entries;
    entries.reserve(q.Rows().size());
    for (const DataSet::Row& row : q.Rows()) {
        const QString status = row[statusField].value_or(QString());
        const QString word = TrimBlanks(status);
        int group = DevTree::GroupUp;
        if (IsBlank(status) || word == Consts::StatusPowerOff)
            group = DevTree::GroupPowerOff; // also a terminal without a status row
        else if (word == Consts::StatusDown)
            group = DevTree::GroupDown;
        entries.push_back({row[idField].value_or(QString()).toInt(), row[nameField].value_or(QString()), group});
    }
    devTree_->Rebuild(entries);
    FormDbMod->CloseQuery(q);
}

QString TMainForm::GetDevNetState(int id) const
{
    const int group = devTree_->GroupOf(id);
    return group == 0 ? Consts::StatusDown : DevTree::StateOfGroup(group);
}

void TMainForm::UpdateDevNetState(int id, const QString& state)
{
    if (id < 1)
        return;
    {
        std::lock_guard<std::mutex> hold(devStateLock_);
        DataSet q = FormDbMod->QuerySql(
            QStringLiteral("select * from zol_baseinfo a , zol_status b where a.id = b.zol_id and id = ") +
            QString::number(id));
        if (q.IsEmpty())
            return;
        // A stored shutdown or power-off outranks what a network check concluded.
        const QString stored = q.AsString(QStringLiteral("status"));
        QString effective = state;
        if (stored == Consts::StatusPowerOff)
            effective = Consts::StatusPowerOff;
        else if (stored == Consts::StatusDown)
            effective = Consts::StatusDown;
        FormDbMod->CloseQuery(q);
        std::lock_guard<std::mutex> queue(pendingLock_);
        pendingDevStates_.push_back({id, effective});
    }
    // On the UI thread the moves queued by workers before this call go first, then this one.
    if (QThread::currentThread() == thread())
        ApplyPendingDevStates();
    else
        QMetaObject::invokeMethod(this, [this] { ApplyPendingDevStates(); }, Qt::QueuedConnection);
}

void TMainForm::ApplyPendingDevStates()
{
    for (;;) {
        PendingDevState next{};
        {
            std::lock_guard<std::mutex> queue(pendingLock_);
            if (pendingDevStates_.empty())
                return;
            next = std::move(pendingDevStates_.front());
            pendingDevStates_.pop_front();
        }
        ApplyDevNetState(next.id, next.state);
    }
}

void TMainForm::ApplyDevNetState(int id, const QString& state)
{
    if (LblDevId->text().trimmed().isEmpty())
        LblDevId->setText(QStringLiteral("0"));
    bool ok = false;
    const int shown = LblDevId->text().trimmed().toInt(&ok);
    if (ok && shown == id) {
        if (state == Consts::StatusUp || state == Consts::StatusError)
            ShowDevPowerState(QStringLiteral("已启动"), true);
        else if (state == Consts::StatusPowerOff)
            ShowDevPowerState(QStringLiteral("已关闭电源"), false);
        else
            ShowDevPowerState(QStringLiteral("已关机"), false);
        ShowDevNetState(state);
    }
    devTree_->Move(id, DevTree::GroupForState(state));
}

void TMainForm::AddDevTreeNode(const DevBean* dev)
{
    if (!dev || dev->Id < 1)
        return;
    RemoveDevTreeNode(dev->Id); // an edited terminal must not appear twice
    if (IsBlank(dev->status) || TrimBlanks(dev->status) == Consts::StatusDown)
        devTree_->Add(dev->Id, dev->Name, DevTree::GroupDown);
    else
        devTree_->Add(dev->Id, dev->Name, DevTree::GroupUp);
    CheckDevNet({dev->Id}, QStringLiteral("检测网络"));
}

void TMainForm::RemoveDevTreeNode(int id)
{
    if (id >= 1)
        devTree_->Remove(id);
}

std::unique_ptr<DevBean> TMainForm::LoadDevice(int id)
{
    if (id < 0)
        return nullptr;
    DataSet q = FormDbMod->QuerySql(QStringLiteral("select * from zol_baseinfo where id = ") + QString::number(id));
    std::unique_ptr<DevBean> dev;
    if (!q.IsEmpty()) {
        dev = std::make_unique<DevBean>();
        dev->Id = q.AsInteger(QStringLiteral("id"));
        dev->Name = q.AsString(QStringLiteral("name"));
        dev->ip = q.AsString(QStringLiteral("ip"));
        dev->Mac = q.AsString(QStringLiteral("mac"));
        dev->position = q.AsString(QStringLiteral("position"));
        dev->relayip = q.AsString(QStringLiteral("relayIp"));
        dev->port = q.AsInteger(QStringLiteral("port"));
        dev->Memo = q.AsString(QStringLiteral("memo"));
    }
    FormDbMod->CloseQuery(q);
    return dev;
}

int TMainForm::GetTreeDevId() const
{
    const QTreeWidgetItem* item = TreeDev->currentItem();
    if (!item || !item->isSelected())
        return 0;
    const int tag = DevTree::TagOf(item);
    return tag >= 1 ? tag : 0;
}

int TMainForm::GetGridRowId()
{
    QTableView* grid = GetActiveGrid();
    if (!grid)
        return 0;
    const auto* model = qobject_cast<const DataSetModel*>(grid->model());
    if (!model || !model->GetDataSet() || model->Columns().isEmpty())
        return 0;
    const DataSet* ds = model->GetDataSet();
    const QString field = model->Columns().first().field; // the hidden record key of every grid
    if (field.isEmpty() || ds->FindField(field) < 0)
        return 0;
    const QString text = ds->AsString(field);
    return text.isEmpty() ? 0 : ds->AsInteger(field);
}

std::vector<int> TMainForm::GetSelectedDevIds()
{
    const QList<int> rows = DataSetModel::SelectedRows(GrdDev);
    if (rows.isEmpty())
        return {GetGridRowId()};
    const int idField = QueryGrdDev.FindField(DsDev->Columns().first().field);
    std::vector<int> ids;
    ids.reserve(rows.size());
    for (int row : rows) {
        const DataSet::Value& v = idField < 0 ? DataSet::Value() : QueryGrdDev.Cell(row, idField);
        ids.push_back(v ? v->toInt() : 0);
    }
    // The current record ends on the last selected row; moving it from here must not cost the
    // operator the rest of the selection.
    QItemSelectionModel* selection = GrdDev->selectionModel();
    const QItemSelection kept = selection->selection();
    QueryGrdDev.SetRecNo(rows.last() + 1);
    selection->select(kept, QItemSelectionModel::ClearAndSelect);
    return ids;
}

void TMainForm::GrdDevCellClick()
{
    ShowDevDetail(GetGridRowId());
}

void TMainForm::GrdDevDblClick()
{
    ShowDevDetail(GetGridRowId());
}
