// The main window's life cycle: construction, first show, first activation and close.
#include "console/MainForm.h"

#include "foundation/BuildInfo.h"
#include "foundation/ConsoleLog.h"
#include "foundation/Consts.h"
#include "foundation/DbMod.h"
#include "foundation/TPagerNavigator.h"
#include "platform/Application.h"
#include "windows/FormBackGound.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QShowEvent>
#include <QTableView>

TMainForm* MainForm = nullptr;

namespace {
constexpr int FontPointSize = 9;

// 宋体 9 pt where it exists; otherwise the first CJK font there is.
QFont ConsoleFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(FontPointSize);
    return font;
}
} // namespace

TMainForm::TMainForm(QWidget* parent) : TMainFormServices(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromUtf8(ApplicationTitle) + QStringLiteral("  ") +
                   QString::fromLatin1(BuildNumber));
    setFont(ConsoleFont());
    BuildFrame();
    // The console log exists before the database connects, so its lines have a place to go.
    log_ = new ConsoleLog(MemoInfo, this);
    BuildDevicePanels();
    BuildRemoteMenus();
    BuildRecordPages();
    BuildRecordCommands();
    BuildGridBehaviour();
    PageControlMainChange();
    setWindowState(Qt::WindowMaximized);
    OpenServices(); // the units below the console reach the window from now on
}

TMainForm::~TMainForm()
{
    // Workers may still call in: they reach the stand-in before anything of the window goes.
    EndServices();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::FormClose()
{
    ForgetConfIni();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    TMainFormServices::closeEvent(event);
    // Closing the main window ends the program, whatever other windows are open.
    QCoreApplication::quit();
}

void TMainForm::showEvent(QShowEvent* event)
{
    TMainFormServices::showEvent(event);
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        // A failure of the first show belongs to start-up, which ends the program with it; the
        // application's event handling would only show it and leave a half-filled window open.
        try {
            FormShow();
        } catch (...) {
            firstShowError_ = std::current_exception();
            firstShowFailed_ = true;
        }
    }
}

void TMainForm::changeEvent(QEvent* event)
{
    TMainFormServices::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && shown_ && !activated_ &&
        !firstShowFailed_) {
        // Only the first activation after start-up checks the network; returning from a dialog
        // or the wait window must not start the check again. Queued, so that the check's modal
        // wait window does not run inside the activation handling.
        activated_ = true;
        QMetaObject::invokeMethod(this, [this] { FormActivate(); }, Qt::QueuedConnection);
    }
}

void TMainForm::FormShow()
{
    FormBackGound = new TFormBackGound();
    FormBackGound->ShowAndPaint();
    try {
        MakePagers();
        LogLevel = IniReadInteger(Consts::SettingLogLevel.key, Consts::SettingLogLevel.def);
        TimeOut = IniReadInteger(Consts::SettingTimeOut.key, Consts::SettingTimeOut.def);
        BuildDevTree();
        FormDbMod->ReopenQuery(QueryGrdDev);
        GrdDev->setFocus();
        ShowDevDetail(GetGridRowId());
    } catch (...) {
        delete FormBackGound;
        FormBackGound = nullptr;
        throw;
    }
    FormBackGound->close();
    delete FormBackGound;
    FormBackGound = nullptr;
}

void TMainForm::FormActivate()
{
    ShowPageInfo();
    if (IniReadBool(QStringLiteral("AutoDetected"), true)) {
        ShowPageInfo();
        CheckAllDevNet();
    }
    ShowPageDev();
}
