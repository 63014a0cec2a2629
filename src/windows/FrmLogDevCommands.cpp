// The remote log window's commands: refresh, browse, save as and delete, and the row they work on.
#include "windows/FrmLogDev.h"

#include "console/MainForm.h"
#include "platform/DataSetModel.h"
#include "platform/MessageBoxes.h"
#include "terminal/ThreadSaveFile.h"
#include "windows/FrmGetLogFile.h"
#include "windows/FrmWait.h"

#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <memory>

namespace {
const QString NetworkDelay = QStringLiteral("网络延迟，请耐心等待！");
} // namespace

QString TFrmLog::FullName(int row) const
{
    return ClientDataSet.Cell(row, ClientDataSet.FieldIndex(QStringLiteral("fullname"))).value_or(QString());
}

std::optional<TFrmLog::TargetRow> TFrmLog::GetTargetRow()
{
    const QList<int> marked = DataSetModel::SelectedRows(DBGrid);
    if (marked.size() >= 2) {
        MessageRequest box;
        box.caption = QStringLiteral("错误提示");
        box.text = QStringLiteral("浏览时一次只能选择一个对象！");
        MessageBoxes::Show(box);
        return std::nullopt;
    }
    int row = -1;
    if (marked.size() == 1)
        row = marked.first();
    else if (!ClientDataSet.IsEmpty() && !ClientDataSet.AsString(QStringLiteral("id")).isEmpty())
        row = ClientDataSet.RecNo() - 1;
    if (row < 0 || row >= ClientDataSet.RecordCount())
        return std::nullopt; // no row to work on: the command stops without a word
    const int trueSize = ClientDataSet.FieldIndex(QStringLiteral("truesize"));
    return TargetRow{FullName(row), ClientDataSet.Cell(row, trueSize).value_or(QString())};
}

std::optional<int> TFrmLog::TrueSizeOf(const TargetRow& row)
{
    bool ok = false;
    const int size = row.trueSize.trimmed().toInt(&ok);
    if (ok)
        return size;
    MainForm->ShowWarning(NetworkDelay);
    return std::nullopt;
}

void TFrmLog::SpeedButton1Click()
{
    SendLog->start();
    SetButtonsEnabled(false);
    EmptyTable();
}

void TFrmLog::SpeedButton2Click()
{
    const std::optional<TargetRow> row = GetTargetRow();
    if (!row)
        return;
    const std::optional<int> size = TrueSizeOf(*row);
    if (!size)
        return;
    const QString ip = LbDevIp->text();
    std::unique_ptr<TFormGetLogFile> viewer(new TFormGetLogFile(row->name, ip, *size));
    FormGetLogFile = viewer.get();
    viewer->setWindowTitle(row->name + QStringLiteral("  --  ") + ip);
    viewer->ShowModal();
    FormGetLogFile = nullptr;
}

void TFrmLog::SpeedButton3Click()
{
    const std::optional<TargetRow> row = GetTargetRow();
    if (!row)
        return;
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.caption = QStringLiteral("另存为");
    request.fileName = row->name + QStringLiteral(".txt");
    request.filter = QStringLiteral("文本文件(*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = MessageBoxes::AskFile(request);
    if (path.isEmpty())
        return;
    const std::optional<int> size = TrueSizeOf(*row);
    if (!size)
        return;
    // The worker reports its own failures; the window says nothing when it ends.
    std::unique_ptr<TFormWait> wait(new TFormWait());
    wait->SetThread(new ThreadSaveLogFile(LbDevIp->text(), row->name, path, *size));
    wait->ShowModal();
}

void TFrmLog::SpeedButton4Click()
{
    if (!MainForm->Confirm(QStringLiteral("您确定要删除已选日志吗？")))
        return;
    SpeedButton4->setEnabled(false);
    try {
        QString line = AgentProtocol::CmdDelLog;
        QList<int> marked = DataSetModel::SelectedRows(DBGrid);
        std::sort(marked.begin(), marked.end()); // grid order
        if (!marked.isEmpty()) {
            for (int row : marked)
                line += QLatin1Char(',') + FullName(row);
        } else if (!ClientDataSet.IsEmpty() && !ClientDataSet.AsString(QStringLiteral("id")).isEmpty()) {
            line += QLatin1Char(',') + FullName(ClientDataSet.RecNo() - 1);
        } else {
            return; // nothing to delete; the button stays off until the next list
        }
        if (!ExecCmd(line)) // no reply is awaited; the list is fetched again instead
            return;
        SendLog->start();
    } catch (const std::exception&) {
        MainForm->ShowWarning(NetworkDelay);
    }
}
