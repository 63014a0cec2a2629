// The console's main window: frame, pages and the shared services every unit reaches through MainForm.
#pragma once

#include "platform/IniFile.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class QTextEdit;
class ConsoleLog;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

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

    // ==== frame: pages, tabs, toolbar, menus, resolvers, show/activate/close
    void ShowPageInfo();
    // ==== end frame

    // ==== device tree, device grid and detail box
    // Creates TreeDev in PanelTree's layout and GrdDev with GbxDevDetail in PageDev's layout.
    // Called once by the constructor after the frame exists.
    void BuildDevicePanels();
    // ==== end device tree

    // ==== remote commands and device popup menus
    // Creates the popup menus of GrdDev and TreeDev and connects the remote commands.
    // Called once by the constructor after BuildDevicePanels.
    void BuildRemoteMenus();
    // ==== end remote commands

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();

    std::unique_ptr<IniFile> ConfIni;
    ConsoleLog* log_ = nullptr;

    // ==== private: frame
    // ==== end private: frame
    // ==== private: device tree
    // ==== end private: device tree
    // ==== private: remote commands
    // ==== end private: remote commands
};

extern TMainForm* MainForm;
