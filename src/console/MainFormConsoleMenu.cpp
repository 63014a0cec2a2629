// The popup menu of the console view: type size, select, copy, save to a file and clear.
#include "console/MainForm.h"
#include "platform/Exception.h"

#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QSaveFile>
#include <QTextEdit>

#include <algorithm>

void TMainForm::BuildConsoleMenu()
{
    PmemoInfo = new QMenu(this);
    PmemoInfo->setObjectName(QStringLiteral("PmemoInfo"));
    auto item = [this](const char* name, const QString& caption, void (TMainForm::*handler)()) {
        QAction* action = PmemoInfo->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    N49 = item("N49", QStringLiteral("字体放大"), &TMainForm::N49Click);
    N59 = item("N59", QStringLiteral("字体缩小"), &TMainForm::N59Click);
    PmemoInfo->addSeparator();
    MenuItem14 = item("MenuItem14", QStringLiteral("全部选择"), &TMainForm::MenuItem14Click);
    MenuItem13 = item("MenuItem13", QStringLiteral("复制到剪贴板"), &TMainForm::MenuItem13Click);
    N100 = item("N100", QStringLiteral("保存到文件"), &TMainForm::N100Click);
    PmemoInfo->addSeparator();
    N46 = item("N46", QStringLiteral("清空输出信息"), &TMainForm::N46Click);

    MemoInfo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MemoInfo, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PmemoInfo->popup(MemoInfo->viewport()->mapToGlobal(pos));
    });
}

void TMainForm::ChangeMemoFontSize(int points)
{
    QFont font = MemoInfo->font();
    const int size = font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
    // A type of no size cannot be drawn: one point is the smallest.
    font.setPointSize(std::max(1, size + points));
    MemoInfo->setFont(font); // the plain text of the view follows its font
    MemoInfo->viewport()->update();
}

void TMainForm::N49Click() { ChangeMemoFontSize(1); }
void TMainForm::N59Click() { ChangeMemoFontSize(-1); }
void TMainForm::MenuItem14Click() { MemoInfo->selectAll(); }
void TMainForm::MenuItem13Click() { MemoInfo->copy(); }
void TMainForm::N46Click() { MemoInfo->clear(); }

void TMainForm::N100Click()
{
    const QString fileName = MessageBoxes::AskFile(SDlgMemo);
    if (fileName.isEmpty())
        return;
    // Every line ends with a line break; the file is replaced only once it is written whole.
    QString text = MemoInfo->toPlainText();
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw Exception(QStringLiteral("无法保存文件 ") + fileName + QStringLiteral(": ") + file.errorString());
    MemoInfo->document()->setModified(false);
}
