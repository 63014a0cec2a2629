// The splash window: a borderless, centred picture window that takes no input.
#include "windows/FormBackGound.h"

#include "console/Icons.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TFormBackGound* FormBackGound = nullptr;

TFormBackGound::TFormBackGound(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FormBackGound"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(ClientWidth, ClientHeight);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    Image1->setPixmap(Icons::ProductPicture()); // 600 x 400, clipped to the client area
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormBackGound::ShowAndPaint()
{
    show();
    raise();
    repaint();
    // Let the window system map and draw it now: what follows blocks the event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
