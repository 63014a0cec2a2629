// The terminal dialog: adds a terminal with its status row, or edits the stored data of one.
#pragma once

#include "foundation/DbMod.h"

#include <QDialog>
#include <QString>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

class TFormDevEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFormDevEdit(QWidget* owner = nullptr); // add mode

    // Fills the dialog from terminal id; edit mode when it exists, else the dialog stays an add dialog.
    void LoadDevice(int id);
    bool EditMode() const { return editMode; }

    // Validates, saves, refreshes the main window and places the terminal in the tree, then closes.
    // A failed check or save leaves the dialog open with what was typed.
    void BtnOkClick();
    void BtnCancelClick();

    // Four fields of one to three digits, 0 to 255, joined by single dots, nothing around them.
    static bool IsValidIp(const QString& ip);

    QGroupBox* GroupBox1 = nullptr; // "基本信息"
    QLabel* LblDevId = nullptr;
    QLineEdit* EdtDevName = nullptr;
    QLineEdit* EdtDevMac = nullptr;
    QLineEdit* EdtDevIp = nullptr;
    QLineEdit* EdtDevPos = nullptr;
    QLineEdit* EdtRelayIp = nullptr;
    QTextEdit* MemoDevMemo = nullptr;
    QLineEdit* EdtDevPort = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* BtnOk = nullptr;
    QPushButton* BtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override; // FormShow: the focus starts on the name

private:
    bool SaveNew(const QString& portText);
    TFormDbMod::RowUpdate SaveEdit(const QString& portText);
    void PlaceInTree();

    bool editMode = false;
};

// The dialog while a record command runs it.
extern TFormDevEdit* FormDevEdit;
