// The remote log window: its controls, its agent connection and timers, and the list of log files.
#include "windows/FrmLogDev.h"

#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "platform/Application.h"
#include "platform/DataSetModel.h"
#include "platform/EventGuard.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "foundation/SqlText.h"
#include "platform/SocketRead.h"
#include "platform/WheelToArrow.h"
#include "terminal/AgentProtocol.h"
#include "terminal/ThreadGetAllFileName.h"
#include "windows/FrmWait.h"
#include "windows/WindowPlacement.h"

#include <QDomDocument>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTcpSocket>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

TFrmLog* FrmLog = nullptr;

namespace {

constexpr int DesignWidth = 645;
constexpr int DesignHeight = 480;
constexpr int ToolButtonHeight = 50;

QTimer* NamedTimer(const char* name, QObject* parent)
{
    auto* timer = new QTimer(parent);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(TFrmLog::TimerMs);
    return timer;
}


} // namespace

TFrmLog::TFrmLog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmLog"));
    setWindowTitle(QStringLiteral("远程日志列表"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(DesignWidth, DesignHeight);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const auto button = [this](const char* name, const QString& caption, QStyle::StandardPixmap glyph) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setIcon(style()->standardIcon(glyph));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setMinimumHeight(ToolButtonHeight);
        b->setEnabled(false);
        ToolBar1->addWidget(b);
        return b;
    };
    // Left to right: browse, delete, save as, refresh.
    SpeedButton2 = button("SpeedButton2", QStringLiteral("浏览"), QStyle::SP_FileDialogContentsView);
    SpeedButton4 = button("SpeedButton4", QStringLiteral("删除"), QStyle::SP_TrashIcon);
    SpeedButton3 = button("SpeedButton3", QStringLiteral("另存"), QStyle::SP_DialogSaveButton);
    SpeedButton1 = button("SpeedButton1", QStringLiteral("刷新"), QStyle::SP_BrowserReload);

    DBGrid = new QTableView(this);
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    DBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid->verticalHeader()->hide();
    DataSource = new DataSetModel(&ClientDataSet,
                                  {{QStringLiteral("id"), QStringLiteral("编号"), 141},
                                   {QStringLiteral("name"), QStringLiteral("文件名"), 131},
                                   {QStringLiteral("size"), QStringLiteral("大小"), 166},
                                   {QStringLiteral("lasttime"), QStringLiteral("最后修改时间"), 179},
                                   {QStringLiteral("truesize"), QStringLiteral("实际大小"), 80, false}},
                                  this);
    DataSource->setObjectName(QStringLiteral("DataSource"));
    DataSource->ApplyColumns(DBGrid);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    LbDevIp = new QLabel(this);
    LbDevIp->setObjectName(QStringLiteral("LbDevIp"));
    LbDevIp->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(DBGrid, 1);
    layout->addWidget(StatusBar1);

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    const auto item = [this](const char* name, const QString& caption) {
        QAction* a = PopupMenu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    N1 = item("N1", QStringLiteral("浏览"));
    N2 = item("N2", QStringLiteral("另存"));
    N3 = item("N3", QStringLiteral("删除"));
    N4 = PopupMenu->addSeparator();
    N4->setObjectName(QStringLiteral("N4"));
    N5 = item("N5", QStringLiteral("刷新"));
    DBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(DBGrid->viewport()->mapToGlobal(pos)); });

    const auto on = [this](auto* sender, auto signal, void (TFrmLog::*handler)()) {
        connect(sender, signal, this, [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    on(SpeedButton1, &QToolButton::clicked, &TFrmLog::SpeedButton1Click);
    on(SpeedButton2, &QToolButton::clicked, &TFrmLog::SpeedButton2Click);
    on(SpeedButton3, &QToolButton::clicked, &TFrmLog::SpeedButton3Click);
    on(SpeedButton4, &QToolButton::clicked, &TFrmLog::SpeedButton4Click);
    on(N1, &QAction::triggered, &TFrmLog::SpeedButton2Click);
    on(N2, &QAction::triggered, &TFrmLog::SpeedButton3Click);
    on(N3, &QAction::triggered, &TFrmLog::SpeedButton4Click);
    on(N5, &QAction::triggered, &TFrmLog::SpeedButton1Click);
    on(DBGrid, &QTableView::doubleClicked, &TFrmLog::SpeedButton2Click);

    ClientSocket = new QTcpSocket(this);
    ClientSocket->setObjectName(QStringLiteral("ClientSocket"));
    connect(ClientSocket, &QTcpSocket::readyRead, this, [this] { ClientSocketRead(); });
    connect(ClientSocket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { ClientSocketError(e); });

    SendAuth = NamedTimer("SendAuth", this);
    SendLog = NamedTimer("SendLog", this);
    OutTime = NamedTimer("OutTime", this);
    on(SendAuth, &QTimer::timeout, &TFrmLog::SendAuthTimer);
    on(SendLog, &QTimer::timeout, &TFrmLog::SendLogTimer);
    on(OutTime, &QTimer::timeout, &TFrmLog::OutTimeTimer);
    // What arrived while a box was open is read once it has closed (when nothing did, no word).
    box_ = std::make_unique<DeferredBox>(this, QList<QTimer*>{SendAuth, SendLog, OutTime}, [this] { ReadWaiting(); });

    wheel_ = new WheelToArrow(this, [this] { return DBGrid; });
}

TFrmLog::~TFrmLog()
{
    DataSource->SetDataSet(nullptr);
    if (FrmLog == this)
        FrmLog = nullptr;
}

QString TFrmLog::SelectIpById(const QString& id)
{
    const DataSet row = FormDbMod->QuerySql(QStringLiteral("select ip from zol_baseinfo where 1=1 ") +
                                            QStringLiteral(" and id = '") + SqlEscape(id) + QStringLiteral("'"));
    if (row.IsEmpty()) {
        MainForm->ShowWarning(QStringLiteral("数据库查询失败！"));
        return QString();
    }
    return row.AsString(QStringLiteral("ip"));
}

void TFrmLog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    CentreOn(this, parentWidget() ? parentWidget() : MainForm);
    FormShow();
}

void TFrmLog::FormShow()
{
    Init();
    SendAuth->start();
    OutTime->start();
}

void TFrmLog::Init()
{
    timeoutTicks = 0;
    ClientDataSet.Open(LogList::Fields(), {});
    const QString host = LbDevIp->text().trimmed();
    const int port = AgentProtocol::Port();
    if (host.isEmpty() || port < 1 || port > 65535) {
        MainForm->ShowWarning(QStringLiteral("Socket连接出错！"));
        CloseLater(this);
        return;
    }
    ClientSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    SocketRead::Connect(ClientSocket, host, quint16(port));
}

void TFrmLog::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFrmLog::FormClose()
{
    // "exit" only on a connection that is open: a window closing after a failure says nothing more.
    if (ClientSocket->state() == QAbstractSocket::ConnectedState) {
        ClientSocket->write(AgentProtocol::EncodeLine(AgentProtocol::CmdExit));
        ClientSocket->flush(); // out before the connection is dropped
    }
    StopTimers();
    ClientSocket->abort();
}

void TFrmLog::StopTimers()
{
    SendAuth->stop();
    SendLog->stop();
    OutTime->stop();
}

bool TFrmLog::ExecCmd(const QString& line)
{
    const auto state = ClientSocket->state();
    const bool open = state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ConnectingState ||
                      state == QAbstractSocket::HostLookupState;
    // A reset that the write meets before the reader is a failed send too.
    if (open && SocketRead::Send(ClientSocket, AgentProtocol::EncodeLine(line)) != SocketRead::End::Failed)
        return true;
    ClientSocket->abort();
    StopTimers();
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("Socket连接出错！")); }, true);
    return false;
}

void TFrmLog::SendAuthTimer()
{
    SendAuth->stop(); // once per window
    ExecCmd(AgentProtocol::BuildAuthCommand());
}

void TFrmLog::OutTimeTimer()
{
    ++timeoutTicks;
    if (timeoutTicks <= TimeOut.load() / 1000)
        return;
    // Like every failure that ends the window: one box, and nothing read behind it, so a late
    // authentication reply fetches no list for a window that is closing.
    StopTimers();
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("Socket连接超时！")); }, true);
}

void TFrmLog::ClientSocketRead()
{
    if (ReadWaiting() == ReadOutcome::Nothing)
        box_->Show([] { MainForm->ShowWarning(QStringLiteral("Socket没有返回信息！")); }, false);
}

ReadOutcome TFrmLog::ReadWaiting()
{
    const ReadOutcome outcome =
        ReadReplies(ClientSocket, splitter_, *box_, ReadChunk, [this](const QString& m) { DealResp(m); });
    if (outcome == ReadOutcome::Failed)
        ClientSocketError(QAbstractSocket::NetworkError);
    return outcome;
}

void TFrmLog::ClientSocketError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::RemoteHostClosedError)
        return; // the toolkit's word for an orderly close (a reset is told apart when reading)
    // The timers stop first: behind the box they would add boxes of their own.
    StopTimers();
    box_->Show([] {
        MessageRequest box;
        box.caption = QString::fromUtf8(ApplicationTitle);
        box.text = QStringLiteral("Socket连接错误！");
        MessageBoxes::Show(box);
    }, true);
}

void TFrmLog::DealResp(const QString& message)
{
    const QDomDocument doc = AgentProtocol::ParseReply(message);
    const QString cmd = doc.documentElement().attribute(QStringLiteral("cmd"));
    if (cmd == AgentProtocol::CmdListLogs)
        ShowList(LogList::FromDocument(doc));
    else if (cmd == AgentProtocol::CmdAuth)
        Auth(message);
}

void TFrmLog::Auth(const QString& message)
{
    OutTime->stop();
    if (AgentProtocol::AuthAccepted(message)) {
        SendLog->start();
        return;
    }
    StopTimers();
    box_->Show([] { MainForm->ShowWarning(QStringLiteral("密钥错误,建立连接失败！")); }, true);
}

void TFrmLog::SendLogTimer()
{
    SendLog->stop();
    {
        std::unique_ptr<TFormWait> wait(new TFormWait());
        wait->SetThread(new ThreadGetAllFileName(LbDevIp->text()));
        wait->ShowModal(); // the wait window frees the worker before it returns
    }
    // The worker has read the list: only the rows are left to show here.
    std::optional<ThreadGetAllFileName::Result> result = ThreadGetAllFileName::GetResult();
    ThreadGetAllFileName::ClearResult();
    // A list refused for its length has had its one box from the worker.
    if (result)
        ShowList(std::move(result->list));
}

void TFrmLog::ShowLogList(const QString& text)
{
    ShowList(LogList::FromText(text));
}

void TFrmLog::ShowList(LogList::Read list)
{
    // A reply that is no document leaves the table as it was; a bad size leaves the rows before it.
    if (list.rows)
        ClientDataSet.Open(LogList::Fields(), std::move(*list.rows));
    if (list.error)
        std::rethrow_exception(list.error);
    SetButtonsEnabled(true);
}

void TFrmLog::SetButtonsEnabled(bool on)
{
    for (QToolButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4})
        b->setEnabled(on);
}

void TFrmLog::EmptyTable()
{
    ClientDataSet.Clear();
}
