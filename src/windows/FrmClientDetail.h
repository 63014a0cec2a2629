// The live detail window of one terminal: processes, network counters and power-supply values from its agent.
#pragma once

#include "platform/DataSet.h"
#include "platform/ElidedLabel.h"
#include "terminal/AgentProtocol.h"
#include "windows/DeferredBox.h"
#include "windows/ReplyParsing.h"

#include <QAbstractSocket>
#include <QDialog>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class DataSetModel;
class QDomDocument;
class QCheckBox;
class QLabel;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTcpSocket;
class QTimer;
class WheelToArrow;

class TClientDetail : public QDialog {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 2000;
    static constexpr int TimeOutTickMs = 1000;
    // Field widths of the in-memory tables, in GBK bytes.
    static constexpr int IdWidth = 10;
    static constexpr int NameWidth = 128;
    static constexpr int CpuWidth = 10;
    static constexpr int ValueWidth = 128;
    // The most that one read event takes from the connection: a flood is read a piece at a time,
    // with the message loop running between the pieces.
    static constexpr qsizetype ReadChunk = 64 * 1024;

    // devId: the terminal's id; an id without a row is reported by the window when it shows.
    explicit TClientDetail(int devId);
    ~TClientDetail() override;

    int ShowModal() { return exec(); }
    // Every way of closing passes here.
    void done(int result) override;

    // Shown: InitDetail, then the time-out count begins.
    void FormShow();
    // The empty tables, the terminal's row and labels, and the connection to its agent.
    void InitDetail();
    void CSocketConnect();
    // The authentication line and the three commands, back to back.
    void baseTimer();
    // Sends command + CR LF when the connection is open; a failure is swallowed.
    void ExecCmd(const QString& command);
    // One piece of what the agent sent; nothing while a box waits or is open, or while the replies
    // read before are still being read.
    void CSocketRead();
    // Runs on the reply thread: parses the message once (a reply too deep or not XML throws) and
    // turns it into what it does to the window, without touching the window. A reply that lacks
    // an element or attribute that is read does nothing: each view is checked whole here.
    ReplyParsing::Effect ReadReply(const QString& message);
    // The same for a message already parsed into doc.
    ReplyParsing::Effect ReadDocument(const QDomDocument& doc, const QString& message);
    void Auth(const QString& message);
    // The named power-supply values, each with the label it is shown in.
    using UpsLabelTexts = std::vector<std::pair<ElidedLabel* TClientDetail::*, QString>>;
    void ShowProcesses(std::vector<DataSet::Row> rows);
    // The update time, packets sent and received, bytes sent and received.
    void ShowNet(const QStringList& values);
    void ShowUps(const UpsLabelTexts& labels, std::vector<DataSet::Row> rows);
    void CbxProcRefreshClick();
    void CbxNetRefreshClick();
    void CbxUpsRefreshClick();
    void BtnProcRefreshClick();
    void BtnNetRefreshClick();
    void BtnUpsRefreshClick();
    void TimRunStatusTimer();
    void TimNetStatusTimer();
    void TimUpsStatusTimer();
    void TimTimeOutTimer();
    void CSocketError(QAbstractSocket::SocketError error);
    void FormClose();

    int TimeoutTicks() const { return timeoutTicks; }

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QStatusBar* StatusBar = nullptr;
    ElidedLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;

    QTableView* GrdProc = nullptr;
    DataSetModel* DsProcess = nullptr;
    QCheckBox* CbxProcRefresh = nullptr;
    QPushButton* BtnProcRefresh = nullptr;

    ElidedLabel* LblDevId = nullptr;
    ElidedLabel* LblDevName = nullptr;
    ElidedLabel* LblDevIp = nullptr;
    ElidedLabel* LblDevMac = nullptr;
    ElidedLabel* LblDevPos = nullptr;
    ElidedLabel* LblPacSend = nullptr;
    ElidedLabel* LblPacReceive = nullptr;
    ElidedLabel* LblByteSend = nullptr;
    ElidedLabel* LblByteReceive = nullptr;
    ElidedLabel* LblUpdateTime = nullptr;
    QCheckBox* CbxNetRefresh = nullptr;
    QPushButton* BtnNetRefresh = nullptr;

    ElidedLabel* LblIpVolt = nullptr;
    ElidedLabel* LblFaultVolt = nullptr;
    ElidedLabel* LblOpVolt = nullptr;
    ElidedLabel* LblOpFrenquency = nullptr;
    ElidedLabel* LblCurrentVolt = nullptr;
    ElidedLabel* LblBatteryVolt = nullptr;
    ElidedLabel* LblTemperature = nullptr;
    QTableView* GrdUpsStatus = nullptr;
    DataSetModel* DsUpsStatus = nullptr;
    QCheckBox* CbxUpsRefresh = nullptr;
    QPushButton* BtnUpsRefresh = nullptr;

    QTcpSocket* CSocket = nullptr;
    QTimer* TimRunStatus = nullptr;
    QTimer* TimNetStatus = nullptr;
    QTimer* TimUpsStatus = nullptr;
    QTimer* TimTimeOut = nullptr;

    DataSet SetProcess;
    DataSet SetUpsStatus;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildProcessPage();
    void BuildNetPage();
    void BuildUpsPage();
    void SetRefreshControlsEnabled(bool on);
    // The grid of the page shown, for the wheel rule (none on the network page).
    QTableView* CurrentGrid() const;
    // The effects of a batch of replies, back on the window's thread.
    void Parsed(std::vector<ReplyParsing::Effect> effects, const std::exception_ptr& error);

    bool errorReported = false;
    const int devId;
    int timeoutTicks = 0;
    bool shown_ = false;
    AgentReplySplitter splitter_;
    std::unique_ptr<DeferredBox> box_;
    std::unique_ptr<ReplyParsing> parsing_;
    WheelToArrow* wheel_ = nullptr;
};
