// The log viewer: the text of one log file of a terminal, fetched when the window shows.
#pragma once

#include <QDialog>
#include <QString>

class LogExcerpt;
class QAction;
class QLabel;
class QMenu;
class QTextEdit;

class TFormGetLogFile : public QDialog {
    Q_OBJECT
public:
    // fileName is the log's name on the terminal, trueSize its size in bytes as listed.
    TFormGetLogFile(const QString& fileName, const QString& ip, int trueSize);
    ~TFormGetLogFile() override;

    int ShowModal() { return exec(); }
    // Asks the viewer to close. While the file is still being fetched it closes when the fetch
    // has ended, as soon as its own modal run has begun; so does every other close meanwhile.
    void CloseForm();
    void done(int result) override;

    // Fetches the file under the wait window (on first show).
    void FormShow();
    void N49Click();       // "字体放大(&A)": type size + 1
    void N59Click();       // "字体缩小": type size - 1, down to the smallest size there is
    void MenuItem13Click(); // "选中信息到剪贴板"
    void MenuItem14Click(); // "全部选择"
    // "保存到文件": the text as plain text to a file chosen by the operator, in GBK with CR LF line
    // ends as the logs are; a file that cannot be written throws Exception.
    void N100Click();
    // After the fetch: when only a part of a big log is shown, a line above the text says so.
    void ShowPartNote(const LogExcerpt& log);

    QLabel* LblPart = nullptr; // hidden unless only a part of the log is shown
    QTextEdit* RichEdit = nullptr;
    QMenu* PopupRichEdit = nullptr;
    QAction* N49 = nullptr;
    QAction* N59 = nullptr;
    QAction* MenuItem12 = nullptr;
    QAction* MenuItem13 = nullptr;
    QAction* MenuItem14 = nullptr;
    QAction* N100 = nullptr;
    QAction* N51 = nullptr;

    const QString FileName;
    const QString Ip;
    const int TrueSize;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool shown_ = false;
    bool fetching_ = false;
    bool closePending_ = false;
};

// The viewer that the remote log window has open, only while it is open.
extern TFormGetLogFile* FormGetLogFile;
