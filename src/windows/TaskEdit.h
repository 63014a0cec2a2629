// The planned-task dialog: a shutdown (and for type 2 a restart) planned for one terminal or, in one
// statement, for every terminal; or an existing task edited in place.
#pragma once

#include "platform/DataSet.h"
#include "platform/ElidedLabel.h"

#include <QDialog>

class DbLookupCombo;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;

class TFormTaskEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFormTaskEdit(QWidget* owner = nullptr); // add mode, for "全部设备"

    // Fills the dialog from task taskId; edit mode when it exists. Either way the terminal list no
    // longer offers "全部设备" afterwards. Nothing for a negative taskId.
    void LoadTask(int taskId);
    bool EditMode() const { return editMode; }

    void FormCreate();
    void DbCbxDevTaskClick();  // the detail labels show the chosen terminal
    void DbCbxTaskTypeClick(); // the pause is chosen for type "2" only
    void CbxLoopClick();       // every task repeats daily: the box stays ticked
    // Checks and saves, then closes; a statement the database refuses keeps the dialog open.
    void BtnOkClick();
    void BtnCancelClick();

    // The pause choices in minutes; a stored pause snaps to the first one at least as long.
    static int SnapPause(int minutes);

    QGroupBox* GbxTask = nullptr;
    DbLookupCombo* DbCbxDevTask = nullptr;
    QGroupBox* GroupBox3 = nullptr; // "设备明细"
    ElidedLabel* LblDevId = nullptr;
    ElidedLabel* LblDevIp = nullptr;
    ElidedLabel* LblDevMac = nullptr;
    ElidedLabel* LblDevPos = nullptr;
    QLabel* LblTaskId = nullptr; // hidden
    QGroupBox* GroupBox2 = nullptr; // "任务明细"
    DbLookupCombo* DbCbxTaskType = nullptr;
    QDateTimeEdit* DtpShutdownTime = nullptr;
    QCheckBox* CbxLoop = nullptr;
    QComboBox* CbxPauseInterval = nullptr;
    QTextEdit* MemoTaskMemo = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* BtnOk = nullptr;
    QPushButton* BtnCancel = nullptr;

    DataSet QueryDevTask;   // terminal list (with "全部设备" until a task is loaded)
    DataSet QueryTaskType;  // task types
    DataSet QueryDevDetail; // the chosen terminal's row

private:
    void BuildControls();
    // Edit mode: runs the update of task taskId, tells the operator what went wrong and closes.
    void SaveEdit(const QString& update, int taskId);
    bool editMode = false;
};

// The dialog while a record command runs it.
extern TFormTaskEdit* FormTaskEdit;
