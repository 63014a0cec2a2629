// The log viewer: fetch under the wait window, the text, and its popup (type size, copy, select all, save).
#include "windows/FrmGetLogFile.h"

#include "platform/EventGuard.h"
#include "platform/GbkCodec.h"
#include "platform/LongLines.h"
#include "platform/MessageBoxes.h"
#include "platform/SaveBytes.h"
#include "terminal/LogExcerpt.h"
#include "terminal/ThreadGetLogFile.h"
#include "windows/FrmWait.h"
#include "windows/WindowPlacement.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

TFormGetLogFile* FormGetLogFile = nullptr;

namespace {
constexpr int DesignWidth = 780;
constexpr int DesignHeight = 448;
constexpr int TypeSize = 9; // points: 12 pixels on a 96-dpi screen
constexpr double BytesPerMb = 1024.0 * 1024.0;

QString Megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / BytesPerMb, 'f', 1) + QStringLiteral(" MB");
}

// The log's text control. A selection that spans the breaks of a long line is copied (or dragged
// out) as the log has it, in one line.
class LogTextEdit : public QTextEdit {
public:
    using QTextEdit::QTextEdit;

protected:
    QMimeData* createMimeDataFromSelection() const override
    {
        const QTextCursor selection = textCursor();
        const QString text = LongLines::Text(document(), selection.selectionStart(), selection.selectionEnd());
        if (text.size() == selection.selectionEnd() - selection.selectionStart())
            return QTextEdit::createMimeDataFromSelection(); // no break in it
        auto* data = new QMimeData;
        data->setText(text);
        return data;
    }
};
} // namespace

TFormGetLogFile::TFormGetLogFile(const QString& fileName, const QString& ip, int trueSize)
    : QDialog(nullptr), FileName(fileName), Ip(ip), TrueSize(trueSize)
{
    setObjectName(QStringLiteral("FormGetLogFile"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(DesignWidth, DesignHeight);
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(TypeSize);
    setFont(font);

    RichEdit = new LogTextEdit(this);
    RichEdit->setObjectName(QStringLiteral("RichEdit"));
    RichEdit->setFont(font);
    RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit->setLineWrapMode(QTextEdit::NoWrap);
    LblPart = new QLabel(this);
    LblPart->setObjectName(QStringLiteral("LblPart"));
    LblPart->setWordWrap(true);
    LblPart->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(LblPart);
    layout->addWidget(RichEdit);

    PopupRichEdit = new QMenu(this);
    PopupRichEdit->setObjectName(QStringLiteral("PopupRichEdit"));
    const auto item = [this](const char* name, const QString& caption) {
        QAction* action = PopupRichEdit->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    N49 = item("N49", QStringLiteral("字体放大(&A)"));
    N59 = item("N59", QStringLiteral("字体缩小"));
    MenuItem12 = PopupRichEdit->addSeparator();
    MenuItem12->setObjectName(QStringLiteral("MenuItem12"));
    MenuItem13 = item("MenuItem13", QStringLiteral("选中信息到剪贴板"));
    MenuItem14 = item("MenuItem14", QStringLiteral("全部选择"));
    N100 = item("N100", QStringLiteral("保存到文件"));
    N51 = PopupRichEdit->addSeparator();
    N51->setObjectName(QStringLiteral("N51"));
    connect(N49, &QAction::triggered, this, [this] { N49Click(); });
    connect(N59, &QAction::triggered, this, [this] { N59Click(); });
    connect(MenuItem13, &QAction::triggered, this, [this] { MenuItem13Click(); });
    connect(MenuItem14, &QAction::triggered, this, [this] { MenuItem14Click(); });
    connect(N100, &QAction::triggered, this, [this] { RunGuarded([this] { N100Click(); }); });

    RichEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupRichEdit->popup(RichEdit->viewport()->mapToGlobal(pos)); });
}

TFormGetLogFile::~TFormGetLogFile()
{
    if (FormGetLogFile == this)
        FormGetLogFile = nullptr;
}

void TFormGetLogFile::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    CentreOn(this, QApplication::activeWindow());
    FormShow();
}

void TFormGetLogFile::FormShow()
{
    // The wait window comes first; the viewer shows with the text already in it.
    fetching_ = true;
    {
        std::unique_ptr<TFormWait> wait(new TFormWait());
        ThreadGetLogFile::Viewer viewer;
        viewer.shown = [this](const LogExcerpt& log) { ShowPartNote(log); };
        viewer.failed = [this] { CloseForm(); };
        wait->SetThread(new ThreadGetLogFile(Ip, FileName, RichEdit, TrueSize, std::move(viewer)));
        wait->ShowModal();
    }
    fetching_ = false;
    if (closePending_) // queued, so that it reaches the viewer's own modal run
        CloseLater(this);
}

void TFormGetLogFile::CloseForm()
{
    close();
}

void TFormGetLogFile::done(int result)
{
    // While the file is fetched the viewer's own modal run has not begun: closing now would
    // leave that run waiting for a window that is gone. The close waits for the fetch instead.
    if (fetching_) {
        closePending_ = true;
        return;
    }
    QDialog::done(result);
}

void TFormGetLogFile::N49Click()
{
    QFont font = RichEdit->font();
    font.setPointSize(font.pointSize() + 1);
    RichEdit->setFont(font);
    RichEdit->viewport()->update();
}

void TFormGetLogFile::N59Click()
{
    // A type size below 1 point does not exist here: the smallest size stays.
    QFont font = RichEdit->font();
    if (font.pointSize() <= 1)
        return;
    font.setPointSize(font.pointSize() - 1);
    RichEdit->setFont(font);
    RichEdit->viewport()->update();
}

void TFormGetLogFile::MenuItem13Click()
{
    RichEdit->copy();
}

void TFormGetLogFile::MenuItem14Click()
{
    RichEdit->selectAll();
}

void TFormGetLogFile::N100Click()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.fileName = FileName;
    request.filter = QStringLiteral("文本文件(*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString path = MessageBoxes::AskFile(request);
    if (path.isEmpty())
        return;
    RichEdit->setAcceptRichText(false); // the text is plain from now on
    // The logs' own form: GBK, each line ended by CR LF (the text control keeps line feeds only),
    // long lines whole again.
    QString text = LongLines::Text(RichEdit->document());
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    SaveBytes(path, Gbk::Encode(text));
    RichEdit->document()->setModified(false);
}

void TFormGetLogFile::ShowPartNote(const LogExcerpt& log)
{
    LblPart->setVisible(log.IsPart());
    if (!log.IsPart())
        return;
    const QString which = log.IsHead() ? QStringLiteral("开头") : QStringLiteral("最后");
    LblPart->setText(QStringLiteral("日志共 %1，太大，这里只显示%2的 %3；完整的日志请在远程日志列表中用“另存”保存。")
                         .arg(Megabytes(log.Total()), which, Megabytes(LogExcerpt::ShownBytes)));
}
