// The settings dialog: network check, relay contact times, ports, agent key, time-out and log level.
#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class RadioGroup;

class TFormPreference : public QDialog {
    Q_OBJECT
public:
    // Callers pass no owner (the application owns the dialog); it centres on the screen.
    explicit TFormPreference(QWidget* owner = nullptr);

    // Fills the controls from the settings file; runs when the dialog is shown.
    void FormShow();
    // Checks the fields in order, stopping at the first failure with its warning; otherwise
    // writes the eight settings, makes the log level and time-out live and closes the dialog.
    void OKBtnClick();

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "网络状况"
    QWidget* TabSheet2 = nullptr; // "远程控制"
    QWidget* TabSheet3 = nullptr; // "Socket连接"
    QWidget* TabSheet4 = nullptr; // "日志级别"
    RadioGroup* RgpAutoDetect = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLineEdit* EdtRemoteCtrlStartInterval = nullptr;
    QLineEdit* EdtRemoteCtrlShutdownInterval = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* EdtRemoteCtrlDevPort = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* EdtSocketPort = nullptr;
    QLineEdit* EdtSocketAKey = nullptr;
    QLineEdit* EdtTimeOut = nullptr;
    RadioGroup* RgpLogLevel = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPages();
    bool Validate(); // the first failing check shows its warning and gives false
};

// The settings dialog while it is open.
extern TFormPreference* FormPreference;
