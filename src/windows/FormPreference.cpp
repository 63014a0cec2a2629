// The settings dialog: four pages of settings, checked in a fixed order and written all at once.
#include "windows/FormPreference.h"

#include "console/MainForm.h"
#include "foundation/Consts.h"
#include "platform/RadioGroup.h"
#include "windows/DialogKit.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

TFormPreference* FormPreference = nullptr;

namespace {

using Consts::IntSetting;

const QString KeyAutoDetected = QStringLiteral("AutoDetected");
const QString KeySocketAKey = QStringLiteral("SocketAKey");
const IntSetting& TimeOutSetting = Consts::SettingTimeOut;
const IntSetting& LogLevelSetting = Consts::SettingLogLevel;
const IntSetting& SocketPortSetting = Consts::SettingSocketPort;
const IntSetting& StartSetting = Consts::SettingStartInterval;
const IntSetting& ShutdownSetting = Consts::SettingShutdownInterval;
const IntSetting& DevPortSetting = Consts::SettingRemoteCtrlDevPort;
// The agents' built-in connection key, used when the settings hold none.
const QString DefaultSocketAKey = QStringLiteral("qupzer");
constexpr int ClientWidth = 313;
constexpr int ClientHeight = 242;
constexpr int EditWidth = 110;

// The whole text as a decimal integer: an optional sign and digits, nothing before or after (not
// even a blank, which the library's conversion would skip).
bool ToInt(const QString& text, int& value)
{
    const qsizetype digitsFrom = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (text.size() == digitsFrom)
        return false;
    for (qsizetype i = digitsFrom; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok;
}

QString Shown(const IntSetting& setting)
{
    return QString::number(MainForm->IniReadInteger(setting.key, setting.def));
}

QLineEdit* Edit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(EditWidth);
    return edit;
}

// One line of a settings group: caption, edit and an optional unit.
void AddLine(QGridLayout* grid, const QString& caption, QLineEdit* edit, const QString& unit = QString())
{
    const int row = grid->rowCount();
    auto* label = new QLabel(caption, edit->parentWidget());
    label->setBuddy(edit);
    grid->addWidget(label, row, 0, Qt::AlignRight);
    grid->addWidget(edit, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit, edit->parentWidget()), row, 2);
    grid->setColumnStretch(3, 1);
}

QWidget* Page(QTabWidget* pages, const char* name, const QString& caption)
{
    auto* page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(name));
    new QVBoxLayout(page);
    pages->addTab(page, caption);
    return page;
}

} // namespace

TFormPreference::TFormPreference(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormPreference"));
    setWindowTitle(QStringLiteral("系统参数设置"));
    DialogKit::SetFixedDialogFlags(this);
    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->tabBar()->setUsesScrollButtons(false); // the dialog is wide enough for every tab
    layout->addWidget(PageControl1);
    BuildPages();

    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(sizeHint().expandedTo(QSize(ClientWidth, ClientHeight)));
}

void TFormPreference::BuildPages()
{
    TabSheet1 = Page(PageControl1, "TabSheet1", QStringLiteral("网络状况"));
    RgpAutoDetect = new RadioGroup(QStringLiteral("RgpAutoDetect"), QStringLiteral("检测"),
                                   {QStringLiteral("自动检测"), QStringLiteral("手动检测")}, 2, TabSheet1);
    GroupBox3 = new QGroupBox(QStringLiteral("说明"), TabSheet1);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    auto* notes = new QVBoxLayout(GroupBox3);
    for (const char* line : {"自动检测：系统启动时，自动使用Socket检", "测所有设备的网络情况，同时更新设备状态。",
                             "手动检测：需要手动执行网络状态检测命令，", "并根据返结果更新状态。"})
        notes->addWidget(new QLabel(QString::fromUtf8(line), GroupBox3));
    TabSheet1->layout()->addWidget(RgpAutoDetect);
    TabSheet1->layout()->addWidget(GroupBox3);

    TabSheet2 = Page(PageControl1, "TabSheet2", QStringLiteral("远程控制"));
    GroupBox4 = new QGroupBox(QStringLiteral("网络控制器"), TabSheet2);
    GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    auto* relay = new QGridLayout(GroupBox4);
    EdtRemoteCtrlStartInterval = Edit(GroupBox4, "EdtRemoteCtrlStartInterval");
    EdtRemoteCtrlShutdownInterval = Edit(GroupBox4, "EdtRemoteCtrlShutdownInterval");
    AddLine(relay, QStringLiteral("开机开关短接时间："), EdtRemoteCtrlStartInterval, QStringLiteral("毫秒"));
    AddLine(relay, QStringLiteral("关机开关短接时间："), EdtRemoteCtrlShutdownInterval, QStringLiteral("毫秒"));
    GroupBox1 = new QGroupBox(QStringLiteral("远程设备"), TabSheet2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* viewer = new QGridLayout(GroupBox1);
    EdtRemoteCtrlDevPort = Edit(GroupBox1, "EdtRemoteCtrlDevPort");
    AddLine(viewer, QStringLiteral("远程设备控制端口："), EdtRemoteCtrlDevPort);
    TabSheet2->layout()->addWidget(GroupBox4);
    TabSheet2->layout()->addWidget(GroupBox1);

    TabSheet3 = Page(PageControl1, "TabSheet3", QStringLiteral("Socket连接"));
    GroupBox2 = new QGroupBox(QStringLiteral("Socket连接"), TabSheet3);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* socket = new QGridLayout(GroupBox2);
    EdtSocketPort = Edit(GroupBox2, "EdtSocketPort");
    EdtSocketAKey = Edit(GroupBox2, "EdtSocketAKey");
    EdtTimeOut = Edit(GroupBox2, "EdtTimeOut");
    AddLine(socket, QStringLiteral("端    口："), EdtSocketPort);
    AddLine(socket, QStringLiteral("连接密钥："), EdtSocketAKey);
    AddLine(socket, QStringLiteral("超时时间："), EdtTimeOut, QStringLiteral("毫秒"));
    TabSheet3->layout()->addWidget(GroupBox2);
    static_cast<QVBoxLayout*>(TabSheet3->layout())->addStretch(1);

    TabSheet4 = Page(PageControl1, "TabSheet4", QStringLiteral("日志级别"));
    RgpLogLevel = new RadioGroup(QStringLiteral("RgpLogLevel"), QStringLiteral("日志"),
                                 {QStringLiteral("调试 （调试工具 LogLevel=1 )"),
                                  QStringLiteral("信息 （一般信息 LogLevel=2 )"),
                                  QStringLiteral("警告 （警告信息 LogLevel=3 )"),
                                  QStringLiteral("错误 （错误信息 LogLevel=4 )")},
                                 1, TabSheet4);
    TabSheet4->layout()->addWidget(RgpLogLevel);
}

void TFormPreference::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    DialogKit::CentreOnScreen(this);
    FormShow();
}

void TFormPreference::FormShow()
{
    // Values outside what this dialog accepts read as their defaults, so the dialog never offers
    // one it would refuse, and saving never stores a log level the console does not know.
    EdtTimeOut->setText(Shown(TimeOutSetting));
    RgpAutoDetect->SetItemIndex(MainForm->IniReadBool(KeyAutoDetected, true) ? 0 : 1);
    EdtSocketAKey->setText(MainForm->IniReadStringDef(KeySocketAKey, DefaultSocketAKey));
    EdtSocketPort->setText(Shown(SocketPortSetting));
    RgpLogLevel->SetItemIndex(MainForm->IniReadInteger(LogLevelSetting.key, LogLevelSetting.def) - 1);
    EdtRemoteCtrlStartInterval->setText(Shown(StartSetting));
    EdtRemoteCtrlShutdownInterval->setText(Shown(ShutdownSetting));
    EdtRemoteCtrlDevPort->setText(Shown(DevPortSetting));
}

bool TFormPreference::Validate()
{
    const struct {
        QLineEdit* edit;
        const char* message;
    } blanks[] = {
        {EdtRemoteCtrlStartInterval, "网络控制器->开机短接时间不能为空！"},
        {EdtRemoteCtrlShutdownInterval, "网络控制器->关机短接时间不能为空！"},
        {EdtRemoteCtrlDevPort, "网络控制器->远程设备控制端口不能为空！"},
        {EdtTimeOut, "超时时间不能为空！"},
        {EdtSocketPort, "Socket端口号不能为空！"},
        {EdtSocketAKey, "Socket密钥不能为空！"},
    };
    for (const auto& field : blanks)
        if (MainForm->WarnIfBlank(field.edit->text(), QString::fromUtf8(field.message)))
            return false;

    auto fail = [](const QString& message) {
        MainForm->ShowWarning(message);
        return false;
    };
    // Both ports are TCP ports: 1 to 65535.
    const auto portRange = [](const char* field, const IntSetting& setting) {
        return QString::fromUtf8(field) + QStringLiteral("必须在%1到%2之间！").arg(setting.min).arg(setting.max);
    };
    int value = 0;
    if (!ToInt(EdtRemoteCtrlDevPort->text(), value))
        return fail("远程设备控制端口号只能输入整型数值！");
    if (!DevPortSetting.Accepts(value))
        return fail(portRange("远程设备控制端口号", DevPortSetting));
    if (!ToInt(EdtRemoteCtrlStartInterval->text(), value))
        return fail("网络控制器->开机短接时间只能输入整型数值！");
    if (value < StartSetting.min)
        return fail("网络控制器->开机短接时间至少要大于500毫秒！");
    if (!ToInt(EdtRemoteCtrlShutdownInterval->text(), value))
        return fail("网络控制器->关机短接时间只能输入整型数值！");
    if (value < ShutdownSetting.min)
        return fail("网络控制器->关机短接时间至少要大于500毫秒！");
    if (!ToInt(EdtSocketPort->text(), value))
        return fail("端口号只能输入整型数值！");
    if (!SocketPortSetting.Accepts(value))
        return fail(portRange("端口号", SocketPortSetting));
    if (!ToInt(EdtTimeOut->text(), value))
        return fail("超时时间只能输入整型数值！");
    if (value < TimeOutSetting.min)
        return fail("超时时间不能小于100毫秒！");
    if (value > TimeOutSetting.max)
        return fail("超时时间不能大于10秒！");
    return true;
}

void TFormPreference::OKBtnClick()
{
    if (!Validate())
        return;
    int timeOut = 0;
    int socketPort = 0;
    int startInterval = 0;
    int shutdownInterval = 0;
    int devPort = 0;
    ToInt(EdtTimeOut->text(), timeOut);
    ToInt(EdtSocketPort->text(), socketPort);
    ToInt(EdtRemoteCtrlStartInterval->text(), startInterval);
    ToInt(EdtRemoteCtrlShutdownInterval->text(), shutdownInterval);
    ToInt(EdtRemoteCtrlDevPort->text(), devPort);
    const int level = RgpLogLevel->ItemIndex() + 1;

    // A refused write leaves here with its exception: later keys and the live values stay.
    MainForm->IniWriteInteger(TimeOutSetting.key, timeOut);
    MainForm->IniWriteBool(KeyAutoDetected, RgpAutoDetect->ItemIndex() == 0);
    MainForm->IniWriteString(KeySocketAKey, EdtSocketAKey->text());
    MainForm->IniWriteInteger(SocketPortSetting.key, socketPort);
    MainForm->IniWriteInteger(LogLevelSetting.key, level);
    MainForm->IniWriteInteger(StartSetting.key, startInterval);
    MainForm->IniWriteInteger(ShutdownSetting.key, shutdownInterval);
    MainForm->IniWriteInteger(DevPortSetting.key, devPort);

    LogLevel = level;
    TimeOut = timeOut;
    accept();
}
