// The detail window's pages, controls, timers and connection: how it is built and how it opens and closes.
#include "windows/FrmClientDetail.h"

#include "console/MainForm.h"
#include "platform/DataSetModel.h"
#include "platform/FreedMemory.h"
#include "platform/WheelToArrow.h"
#include "windows/WindowPlacement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 389;
constexpr int ClientHeight = 391;
constexpr int Panel0Width = 180;
constexpr int Panel1Width = 100;

// A value label: what it shows comes from the database or the agent.
ElidedLabel* NamedLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new ElidedLabel(parent);
    label->setText(text);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QTableView* NamedGrid(const char* name, QWidget* parent)
{
    auto* grid = new QTableView(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setShowGrid(true);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->verticalHeader()->hide();
    if (MainForm) // striped rows like the main window's grids, painted by the main window
        MainForm->AttachGridPainter(grid);
    return grid;
}

// The row of a refresh control pair under a page's content: the box left, the button right.
QHBoxLayout* RefreshRow(QCheckBox*& box, const char* boxName, QPushButton*& button, const char* buttonName,
                        QWidget* parent)
{
    box = new QCheckBox(QStringLiteral("自动刷新"), parent);
    box->setObjectName(QString::fromLatin1(boxName));
    box->setEnabled(false);
    button = new QPushButton(QStringLiteral("刷新列表(&E)"), parent);
    button->setObjectName(QString::fromLatin1(buttonName));
    button->setEnabled(false);
    auto* row = new QHBoxLayout;
    row->addWidget(box);
    row->addStretch();
    row->addWidget(button);
    return row;
}

QTimer* NamedTimer(const char* name, int ms, QObject* parent)
{
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(ms);
    return timer;
}

} // namespace

TClientDetail::TClientDetail(int devId) : QDialog(nullptr), devId(devId)
{
    setObjectName(QStringLiteral("ClientDetail"));
    setWindowTitle(QStringLiteral("终端机明细"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    BuildProcessPage();
    BuildNetPage();
    BuildUpsPage();

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    StatusPanel0 = NamedLabel("StatusPanel0", QString(), StatusBar);
    StatusPanel0->setFixedWidth(Panel0Width);
    StatusPanel1 = NamedLabel("StatusPanel1", QStringLiteral("进程数：0"), StatusBar);
    StatusPanel1->setFixedWidth(Panel1Width);
    StatusBar->addWidget(StatusPanel0);
    StatusBar->addWidget(StatusPanel1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(StatusBar);
    setFixedSize(ClientWidth, ClientHeight);

    CSocket = new QTcpSocket(this);
    CSocket->setObjectName(QStringLiteral("CSocket"));
    connect(CSocket, &QTcpSocket::connected, this, [this] { CSocketConnect(); });
    connect(CSocket, &QTcpSocket::readyRead, this, [this] { CSocketRead(); });
    connect(CSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) { CSocketError(e); });

    TimRunStatus = NamedTimer("TimRunStatus", RefreshMs, this);
    TimNetStatus = NamedTimer("TimNetStatus", RefreshMs, this);
    TimUpsStatus = NamedTimer("TimUpsStatus", RefreshMs, this);
    TimTimeOut = NamedTimer("TimTimeOut", TimeOutTickMs, this);
    connect(TimRunStatus, &QTimer::timeout, this, [this] { TimRunStatusTimer(); });
    connect(TimNetStatus, &QTimer::timeout, this, [this] { TimNetStatusTimer(); });
    connect(TimUpsStatus, &QTimer::timeout, this, [this] { TimUpsStatusTimer(); });
    connect(TimTimeOut, &QTimer::timeout, this, [this] { TimTimeOutTimer(); });
    // What arrived while a box was open is read once it has closed.
    box_ = std::make_unique<DeferredBox>(this, QList<QTimer*>{TimRunStatus, TimNetStatus, TimUpsStatus, TimTimeOut},
                                         [this] { CSocketRead(); });
    parsing_ = std::make_unique<ReplyParsing>(
        this, [this](const QString& m) { return ReadReply(m); },
        [this](std::vector<ReplyParsing::Effect> effects, std::exception_ptr error) {
            Parsed(std::move(effects), error);
        });

    connect(CbxProcRefresh, &QCheckBox::clicked, this, [this] { CbxProcRefreshClick(); });
    connect(CbxNetRefresh, &QCheckBox::clicked, this, [this] { CbxNetRefreshClick(); });
    connect(CbxUpsRefresh, &QCheckBox::clicked, this, [this] { CbxUpsRefreshClick(); });
    connect(BtnProcRefresh, &QPushButton::clicked, this, [this] { BtnProcRefreshClick(); });
    connect(BtnNetRefresh, &QPushButton::clicked, this, [this] { BtnNetRefreshClick(); });
    connect(BtnUpsRefresh, &QPushButton::clicked, this, [this] { BtnUpsRefreshClick(); });

    wheel_ = new WheelToArrow(this, [this] { return CurrentGrid(); });
}

TClientDetail::~TClientDetail()
{
    // The grids' models go with the window; the tables they show must outlive them.
    DsProcess->SetDataSet(nullptr);
    DsUpsStatus->SetDataSet(nullptr);
    // A terminal may have sent replies of a megabyte every two seconds: what they took, here and
    // on the reply threads, goes back to the system with the window.
    parsing_.reset();
    SetProcess.Close();
    SetUpsStatus.Close();
    ReturnFreedMemory();
}

void TClientDetail::BuildProcessPage()
{
    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    GrdProc = NamedGrid("GrdProc", TabSheet1);
    GrdProc->setTabKeyNavigation(false);
    DsProcess = new DataSetModel(&SetProcess,
                                 {{QStringLiteral("name"), QStringLiteral("进程名称"), 133},
                                  {QStringLiteral("id"), QStringLiteral("进程ID"), 95},
                                  {QStringLiteral("cpuUsing"), QStringLiteral("CPU使用率"), 119}},
                                 this);
    DsProcess->setObjectName(QStringLiteral("DsProcess"));
    DsProcess->ApplyColumns(GrdProc);
    auto* layout = new QVBoxLayout(TabSheet1);
    layout->addWidget(GrdProc, 1);
    layout->addLayout(RefreshRow(CbxProcRefresh, "CbxProcRefresh", BtnProcRefresh, "BtnProcRefresh", TabSheet1));
    PageControl1->addTab(TabSheet1, QStringLiteral("进程列表"));
}

void TClientDetail::BuildNetPage()
{
    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));

    auto* device = new QGroupBox(QStringLiteral("设备"), TabSheet2);
    device->setObjectName(QStringLiteral("GbxDevice"));
    auto* deviceGrid = new QGridLayout(device);
    const std::pair<const char*, QString> rows[] = {{"LblDevId", QStringLiteral("设备编号：")},
                                                    {"LblDevName", QStringLiteral("设备名称：")},
                                                    {"LblDevIp", QStringLiteral("I P 地址：")},
                                                    {"LblDevMac", QStringLiteral("Mac 地址：")},
                                                    {"LblDevPos", QStringLiteral("地理位置：")}};
    ElidedLabel** values[] = {&LblDevId, &LblDevName, &LblDevIp, &LblDevMac, &LblDevPos};
    for (int i = 0; i < 5; ++i) {
        deviceGrid->addWidget(new QLabel(rows[i].second, device), i, 0);
        *values[i] = NamedLabel(rows[i].first, QString(), device);
        deviceGrid->addWidget(*values[i], i, 1);
    }
    deviceGrid->setColumnStretch(1, 1);

    auto* net = new QGroupBox(QStringLiteral("网络"), TabSheet2);
    net->setObjectName(QStringLiteral("GbxNet"));
    auto* netGrid = new QGridLayout(net);
    netGrid->addWidget(new QLabel(QStringLiteral("发送"), net), 0, 1, Qt::AlignCenter);
    netGrid->addWidget(new QLabel(QStringLiteral("接收"), net), 0, 2, Qt::AlignCenter);
    netGrid->addWidget(new QLabel(QStringLiteral("数据包："), net), 1, 0);
    LblPacSend = NamedLabel("LblPacSend", QStringLiteral("0"), net);
    LblPacReceive = NamedLabel("LblPacReceive", QStringLiteral("0"), net);
    netGrid->addWidget(LblPacSend, 1, 1, Qt::AlignCenter);
    netGrid->addWidget(LblPacReceive, 1, 2, Qt::AlignCenter);
    netGrid->addWidget(new QLabel(QStringLiteral("字节数(Bytes)："), net), 2, 0);
    LblByteSend = NamedLabel("LblByteSend", QStringLiteral("0"), net);
    LblByteReceive = NamedLabel("LblByteReceive", QStringLiteral("0"), net);
    netGrid->addWidget(LblByteSend, 2, 1, Qt::AlignCenter);
    netGrid->addWidget(LblByteReceive, 2, 2, Qt::AlignCenter);
    netGrid->addWidget(new QLabel(QStringLiteral("更新时间："), net), 3, 0);
    LblUpdateTime = NamedLabel("LblUpdateTime", QString(), net);
    netGrid->addWidget(LblUpdateTime, 3, 1, 1, 2);

    auto* layout = new QVBoxLayout(TabSheet2);
    layout->addWidget(device);
    layout->addWidget(net);
    layout->addStretch();
    layout->addLayout(RefreshRow(CbxNetRefresh, "CbxNetRefresh", BtnNetRefresh, "BtnNetRefresh", TabSheet2));
    PageControl1->addTab(TabSheet2, QStringLiteral("网络状态"));
}

void TClientDetail::BuildUpsPage()
{
    TabSheet3 = new QWidget(PageControl1);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));

    auto* basic = new QGroupBox(QStringLiteral("基本"), TabSheet3);
    basic->setObjectName(QStringLiteral("GbxUpsBasic"));
    auto* grid = new QGridLayout(basic);
    struct Row {
        const char* name;
        QString caption;
        QString initial;
        ElidedLabel** label;
    };
    const Row rows[] = {{"LblIpVolt", QStringLiteral("输入电压："), QStringLiteral("0V"), &LblIpVolt},
                        {"LblFaultVolt", QStringLiteral("故障电压："), QStringLiteral("0V"), &LblFaultVolt},
                        {"LblOpVolt", QStringLiteral("输出电压："), QStringLiteral("0V"), &LblOpVolt},
                        {"LblOpFrenquency", QStringLiteral("输出频率："), QStringLiteral("0Hz"), &LblOpFrenquency},
                        {"LblCurrentVolt", QStringLiteral("当前输出："), QStringLiteral("0V"), &LblCurrentVolt},
                        {"LblBatteryVolt", QStringLiteral("电池电压："), QStringLiteral("0V"), &LblBatteryVolt},
                        {"LblTemperature", QStringLiteral("UPS 温度："), QStringLiteral("0C"), &LblTemperature}};
    for (int i = 0; i < 7; ++i) {
        const int row = i / 2;
        const int column = (i % 2) * 2;
        grid->addWidget(new QLabel(rows[i].caption, basic), row, column);
        *rows[i].label = NamedLabel(rows[i].name, rows[i].initial, basic);
        grid->addWidget(*rows[i].label, row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    GrdUpsStatus = NamedGrid("GrdUpsStatus", TabSheet3);
    GrdUpsStatus->setTabKeyNavigation(true);
    DsUpsStatus = new DataSetModel(&SetUpsStatus,
                                   {{QStringLiteral("name"), QStringLiteral("名称"), 167},
                                    {QStringLiteral("value"), QStringLiteral("状态"), 152}},
                                   this);
    DsUpsStatus->setObjectName(QStringLiteral("DsUpsStatus"));
    DsUpsStatus->ApplyColumns(GrdUpsStatus);

    auto* layout = new QVBoxLayout(TabSheet3);
    layout->addWidget(basic);
    layout->addWidget(new QLabel(QStringLiteral("UPS扩展属性状态："), TabSheet3));
    layout->addWidget(GrdUpsStatus, 1);
    layout->addLayout(RefreshRow(CbxUpsRefresh, "CbxUpsRefresh", BtnUpsRefresh, "BtnUpsRefresh", TabSheet3));
    PageControl1->addTab(TabSheet3, QStringLiteral("UPS状态"));
}

QTableView* TClientDetail::CurrentGrid() const
{
    switch (PageControl1->currentIndex()) {
    case 0: return GrdProc;
    case 2: return GrdUpsStatus;
    default: return nullptr;
    }
}

void TClientDetail::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    CentreOn(this, MainForm);
    FormShow();
}

// Every way out (close, Escape, a close request) passes here.
void TClientDetail::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TClientDetail::FormClose()
{
    parsing_->Stop(); // a reply still being read shows nothing in a closed window
    ExecCmd(AgentProtocol::CmdExit);
    CSocket->flush(); // "exit" goes out before the connection is dropped
    TimRunStatus->stop();
    TimNetStatus->stop();
    TimUpsStatus->stop();
    TimTimeOut->stop();
    CSocket->abort(); // any failure while closing is of no interest on the way out
}

void TClientDetail::SetRefreshControlsEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{CbxProcRefresh, BtnProcRefresh, CbxNetRefresh, BtnNetRefresh,
                                                      CbxUpsRefresh, BtnUpsRefresh})
        w->setEnabled(on);
}

// ---- refresh controls: a checked box runs its timer and disables its button

void TClientDetail::CbxProcRefreshClick()
{
    CbxProcRefresh->isChecked() ? TimRunStatus->start() : TimRunStatus->stop();
    BtnProcRefresh->setEnabled(!CbxProcRefresh->isChecked());
}

void TClientDetail::CbxNetRefreshClick()
{
    CbxNetRefresh->isChecked() ? TimNetStatus->start() : TimNetStatus->stop();
    BtnNetRefresh->setEnabled(!CbxNetRefresh->isChecked());
}

void TClientDetail::CbxUpsRefreshClick()
{
    CbxUpsRefresh->isChecked() ? TimUpsStatus->start() : TimUpsStatus->stop();
    BtnUpsRefresh->setEnabled(!CbxUpsRefresh->isChecked());
}

void TClientDetail::BtnProcRefreshClick() { ExecCmd(AgentProtocol::CmdProcess); }
void TClientDetail::BtnNetRefreshClick() { ExecCmd(AgentProtocol::CmdNet); }
void TClientDetail::BtnUpsRefreshClick() { ExecCmd(AgentProtocol::CmdUps); }
void TClientDetail::TimRunStatusTimer() { ExecCmd(AgentProtocol::CmdProcess); }
void TClientDetail::TimNetStatusTimer() { ExecCmd(AgentProtocol::CmdNet); }
void TClientDetail::TimUpsStatusTimer() { ExecCmd(AgentProtocol::CmdUps); }
