// The shared services the main window hosts for every unit: settings, operator feedback, memo
// placeholders and the console log.
#pragma once

#include "platform/IniFile.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class ConsoleLog;
class QTextEdit;

class TMainFormServices : public QMainWindow {
public:
    using QMainWindow::QMainWindow;

    // ---- settings (section "system" of conf.ini beside the program file)
    IniFile* GetConfIni();
    void IniWriteString(const QString& key, const QString& value);
    void IniWriteInteger(const QString& key, int value);
    void IniWriteBool(const QString& key, bool value);
    QString IniReadString(const QString& key);
    int IniReadInteger(const QString& key, int def);
    bool IniReadBool(const QString& key, bool def);
    QString IniReadStringDef(const QString& key, const QString& def);
    // Test seam: the folder that holds conf.ini (default: the program's folder).
    static void SetConfigDirForTest(const QString& dir);

    // ---- operator feedback
    static bool IsBlank(const QString& s);
    bool WarnIfBlank(const QString& value, const QString& msg);
    void ShowWarning(const QString& msg);
    void ShowError(const QString& msg); // then brings the console page to the front
    bool Confirm(const QString& msg);
    static QString GetNowString();

    // ---- memo placeholder "在此处填写备注信息..."
    void MemoHintEnter(QTextEdit* memo);
    void MemoHintExit(QTextEdit* memo);
    QString GetMemoText(QTextEdit* memo);
    void SetMemoText(QTextEdit* memo, const QString& value);

    // ---- console log (any thread)
    void LogDebug(const QString& msg);
    void LogInfo(const QString& msg);
    void LogWarning(const QString& msg);
    void LogError(const QString& msg);

    QTextEdit* MemoInfo = nullptr;

protected:
    // The console page comes to the front after an error box.
    virtual void BringConsoleToFront() = 0;
    void ForgetConfIni(); // the settings file is read again on its next use

    std::unique_ptr<IniFile> ConfIni;
    ConsoleLog* log_ = nullptr;
};
