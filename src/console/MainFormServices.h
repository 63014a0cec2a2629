// The shared services the main window hosts for every unit: settings, operator feedback, memo
// placeholders and the console log.
#pragma once

#include "foundation/ConsoleServicesInterface.h"
#include "platform/IniFile.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class ConsoleLog;
class QTextEdit;

class TMainFormServices : public QMainWindow, public ConsoleServices {
public:
    using QMainWindow::QMainWindow;

    // ---- settings (section "system" of conf.ini beside the program file)
    // Shared: a reader keeps the object it uses, whatever the window forgets or replaces meanwhile.
    std::shared_ptr<IniFile> GetConfIni();
    void IniWriteString(const QString& key, const QString& value);
    void IniWriteInteger(const QString& key, int value);
    void IniWriteBool(const QString& key, bool value);
    QString IniReadString(const QString& key) override;
    int IniReadInteger(const QString& key, int def) override;
    bool IniReadBool(const QString& key, bool def);
    QString IniReadStringDef(const QString& key, const QString& def) override;
    // Test seam: the folder that holds conf.ini (default: the program's folder).
    static void SetConfigDirForTest(const QString& dir);

    // ---- operator feedback
    static bool IsBlank(const QString& s);
    bool WarnIfBlank(const QString& value, const QString& msg);
    void ShowWarning(const QString& msg) override;
    void ShowError(const QString& msg) override; // then brings the console page to the front
    bool Confirm(const QString& msg);
    static QString GetNowString();

    // ---- memo placeholder "在此处填写备注信息..."
    void MemoHintEnter(QTextEdit* memo);
    void MemoHintExit(QTextEdit* memo);
    QString GetMemoText(QTextEdit* memo);
    void SetMemoText(QTextEdit* memo, const QString& value);

    // ---- console log (any thread)
    void LogDebug(const QString& msg) override;
    void LogInfo(const QString& msg) override;
    void LogWarning(const QString& msg) override;
    void LogError(const QString& msg) override;

    QTextEdit* MemoInfo = nullptr;

    // ---- what the units below the console reach of this window (Services::MainForm)
    // From now on they reach this window, and boxes are put before the operator again.
    void OpenServices();
    // The end of it: from now on no box is shown and their calls reach a quiet stand-in. Waits a
    // bounded time (ServiceCallsWaitMs) for the calls under way; false when some are still under
    // way then, and the window must not be freed. Start-up calls it before the database module
    // goes, the destructor at the latest; later calls only wait.
    bool EndServices();
    static constexpr int ServiceCallsWaitMs = 2000;

protected:
    // The console page comes to the front after an error box.
    virtual void BringConsoleToFront() = 0;
    void ForgetConfIni(); // the settings file is read again on its next use

    std::shared_ptr<IniFile> ConfIni;
    ConsoleLog* log_ = nullptr;
};
