// The remote log window: the log files kept on one terminal, to browse, save, delete and list again.
#pragma once

#include "platform/DataSet.h"
#include "terminal/AgentProtocol.h"
#include "terminal/LogList.h"
#include "windows/DeferredBox.h"
#include "windows/ReplyReading.h"

#include <QAbstractSocket>
#include <QDialog>
#include <QString>

#include <memory>
#include <optional>

class DataSetModel;
class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTableView;
class QTcpSocket;
class QTimer;
class QToolBar;
class QToolButton;
class WheelToArrow;

class TFrmLog : public QDialog {
    Q_OBJECT
public:
    static constexpr int TimerMs = 1000;
    // Field widths of the list table, in GBK bytes.
    static constexpr int IdWidth = LogList::IdWidth;
    static constexpr int NameWidth = LogList::NameWidth;
    static constexpr int SizeWidth = LogList::SizeWidth;
    static constexpr int TimeWidth = LogList::TimeWidth;
    // The most that one read event takes from the window's connection.
    static constexpr qsizetype ReadChunk = 64 * 1024;

    // The opener sets LbDevIp's caption (SelectIpById) and the window caption before showing it.
    explicit TFrmLog(QWidget* owner = nullptr);
    ~TFrmLog() override;

    int ShowModal() { return exec(); }
    // Every way of closing passes here.
    void done(int result) override;

    // The terminal's address; "" after the warning "数据库查询失败！" when the id has no row.
    QString SelectIpById(const QString& id);
    // The empty table, and the connection to the address in LbDevIp.
    void Init();
    // Sends line + CR LF on the window's connection; a failure warns, closes the window and
    // gives false.
    bool ExecCmd(const QString& line);
    void DealResp(const QString& message);
    void Auth(const QString& message);
    // Fills the table from a list document; text that is not one throws Exception.
    void ShowLogList(const QString& text);
    // Fills the table with a list already read (LogList), then throws its error, if any.
    void ShowList(LogList::Read list);

    void FormShow();
    void FormClose();
    void SendAuthTimer();
    void SendLogTimer();
    void OutTimeTimer();
    void ClientSocketRead();
    void ClientSocketError(QAbstractSocket::SocketError error);
    void SpeedButton1Click(); // refresh
    void SpeedButton2Click(); // browse
    void SpeedButton3Click(); // save as
    void SpeedButton4Click(); // delete

    QStatusBar* StatusBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QTableView* DBGrid = nullptr;
    DataSet ClientDataSet;
    DataSetModel* DataSource = nullptr;
    QTcpSocket* ClientSocket = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QTimer* SendAuth = nullptr;
    QTimer* SendLog = nullptr;
    QLabel* LbDevIp = nullptr;
    QTimer* OutTime = nullptr;

    int TimeoutTicks() const { return timeoutTicks; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The row that browse and save as work on: the one marked row, or the current row when none
    // is marked. Nothing after the box "浏览时一次只能选择一个对象！" (two or more marked) or
    // when there is no such row.
    struct TargetRow {
        QString name;     // the whole name, as the agent sent it
        QString trueSize; // bytes, as the agent sent them
    };
    std::optional<TargetRow> GetTargetRow();
    // The true size as a number; nothing after the warning "网络延迟，请耐心等待！".
    std::optional<int> TrueSizeOf(const TargetRow& row);
    QString FullName(int row) const;
    void SetButtonsEnabled(bool on);
    void EmptyTable();
    // Before any box that ends the window: no timer of it may add a box of its own.
    void StopTimers();
    // Reads what waits on the window's connection; a broken connection is reported.
    ReadOutcome ReadWaiting();

    int timeoutTicks = 0;
    bool shown_ = false;
    AgentReplySplitter splitter_;
    std::unique_ptr<DeferredBox> box_;
    WheelToArrow* wheel_ = nullptr;
};

// The remote log window that the main window has open, only while it is open.
extern TFrmLog* FrmLog;
