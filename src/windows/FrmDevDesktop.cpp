// The desktop window: placeholder, pictures from the picture thread, one-line wheel scrolling, saving.
#include "windows/FrmDevDesktop.h"

#include "console/MainForm.h"
#include "foundation/DbMod.h"
#include "platform/EventGuard.h"
#include "platform/MessageBoxes.h"
#include "platform/SaveBytes.h"
#include "windows/WindowPlacement.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

TFormDevDesktop* FormDevDesktop = nullptr;

namespace {
constexpr int DesignWidth = 908;
constexpr int DesignHeight = 734;
constexpr int PlaceholderWidth = 894;
constexpr int PlaceholderHeight = 700;
const QColor PlaceholderGrey(212, 208, 200);
const QString PlaceholderText = QStringLiteral("远程设备连接中，请稍后...");
} // namespace

QImage TFormDevDesktop::Placeholder()
{
    QImage image(PlaceholderWidth, PlaceholderHeight, QImage::Format_RGB32);
    image.fill(PlaceholderGrey);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QFont font = QApplication::font();
    font.setPointSize(12);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, PlaceholderText);
    return image;
}

TFormDevDesktop::TFormDevDesktop(int devId) : QDialog(nullptr), DevId(devId)
{
    setObjectName(QStringLiteral("FormDevDesktop"));
    setWindowTitle(QStringLiteral("远程设备桌面"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    resize(DesignWidth, DesignHeight);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAlignment(Qt::AlignCenter);
    ImgDevDesktop = new QLabel;
    ImgDevDesktop->setObjectName(QStringLiteral("ImgDevDesktop"));
    ImgDevDesktop->setAlignment(Qt::AlignCenter);
    ScrollBox1->setWidget(ImgDevDesktop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ScrollBox1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    S1 = PopupMenu1->addAction(QStringLiteral("截图并保存到本地(&S)"));
    S1->setObjectName(QStringLiteral("S1"));
    connect(S1, &QAction::triggered, this, [this] { RunGuarded([this] { S1Click(); }); });
    ImgDevDesktop->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ImgDevDesktop, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(ImgDevDesktop->mapToGlobal(pos)); });

    SetPicture(Placeholder());
    // Every wheel turn of the application passes here first while the window exists.
    qApp->installEventFilter(this);
}

TFormDevDesktop::~TFormDevDesktop()
{
    if (link_)
        link_->Stop();
    if (FormDevDesktop == this)
        FormDevDesktop = nullptr;
}

void TFormDevDesktop::SetPicture(const QImage& picture)
{
    Picture = picture;
    ImgDevDesktop->setPixmap(QPixmap::fromImage(picture));
    ImgDevDesktop->resize(picture.size());
}

void TFormDevDesktop::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    CentreOn(this, MainForm);
    try {
        FormShow();
    } catch (...) {
        // A database failure: shown in the standard box, and the window goes without a thread.
        TApplication::ShowException(std::current_exception());
        CloseLater(this);
    }
}

void TFormDevDesktop::FormShow()
{
    const DataSet row = FormDbMod->QuerySql(
        QStringLiteral("select * from zol_baseinfo a left join zol_status b  on a.id = b.zol_id ") +
        QStringLiteral(" where id=") + QString::number(DevId));
    if (row.IsEmpty()) {
        MainForm->ShowError(QStringLiteral("设备不存在!"));
        // Queued, so that it reaches the window's own modal run, which has not begun yet.
        CloseLater(this);
        return;
    }
    const QString ip = row.AsString(QStringLiteral("ip"));
    setWindowTitle(windowTitle() + QStringLiteral(" - ") + ip);
    link_ = std::make_shared<DesktopLink>(this, this);
    auto* thread = new ThreadDevDesktop(ip, link_, IntervalMs);
    thread->Resume(); // it frees itself; from here on only the link is used
}

// Every way out (close, Escape, a close request) passes here.
void TFormDevDesktop::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TFormDevDesktop::FormClose()
{
    if (link_)
        link_->Stop();
}

void TFormDevDesktop::ShowPicture(const QImage& picture, const QByteArray& jpeg)
{
    if (picture.isNull())
        return; // the previous picture stays
    SetPicture(picture);
    PictureJpeg = jpeg;
}

void TFormDevDesktop::CloseForm()
{
    close();
}

void TFormDevDesktop::S1Click()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.fileName = QStringLiteral("远程桌面");
    request.defaultSuffix = QStringLiteral("jpg");
    const QString path = MessageBoxes::AskFile(request);
    if (path.isEmpty())
        return;
    QByteArray bytes = PictureJpeg;
    if (bytes.isEmpty()) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        Picture.save(&buffer, "BMP");
    }
    SaveBytes(path, bytes);
}

bool TFormDevDesktop::eventFilter(QObject* watched, QEvent* event)
{
    // While the window is open and active, a wheel turn scrolls the picture by one line, whatever
    // its size, and goes no further.
    if (event->type() != QEvent::Wheel || !isVisible() || !isActiveWindow())
        return QDialog::eventFilter(watched, event);
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    QScrollBar* bar = ScrollBox1->verticalScrollBar();
    if (delta >= 1)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (delta < 0)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    return true;
}
