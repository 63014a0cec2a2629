// The data-source dialog: the ODBC data source name the console connects to at its next start.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TFormDataSource : public QDialog {
    Q_OBJECT
public:
    // Callers pass no owner (the application owns the dialog); it centres on the screen.
    explicit TFormDataSource(QWidget* owner = nullptr);

    // EdtDSName = the stored name, "zol" when there is none; runs when the dialog is shown.
    void FormShow();
    // A blank name is refused with a warning; any other text is stored as typed and the dialog
    // closes. The running connection keeps its data source.
    void OKBtnClick();

    QLabel* Label1 = nullptr;
    QLineEdit* EdtDSName = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// The data-source dialog while it is open.
extern TFormDataSource* FormDataSource;
