// Drawing of a simulated terminal's screen: header, clock, service buttons and a scrolling notice.
#include "DesktopPicture.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

namespace DesktopPicture {

namespace {

constexpr int JpegQuality = 80;
constexpr int HeaderHeight = 70;
constexpr int FooterHeight = 40;
constexpr int TickerHeight = 36;
constexpr int TickerStep = 23; // pixels the notice moves from one frame to the next
const char* const Services[] = {"业务查询", "打印凭条", "自助缴费", "预约办理", "政策咨询", "使用帮助"};
const QString Notice = QStringLiteral("温馨提示：本机提供 7×24 小时自助服务，如需帮助请联系一楼服务台。");
const QString Font = QStringLiteral("WenQuanYi Zen Hei");

QFont FontOf(int pixels, bool bold = false)
{
    QFont font(Font);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void DrawButtons(QPainter& p)
{
    constexpr int Columns = 3;
    constexpr int ButtonWidth = 200;
    constexpr int ButtonHeight = 90;
    constexpr int Gap = 40;
    constexpr int Top = 250;
    const int left = (Width - Columns * ButtonWidth - (Columns - 1) * Gap) / 2;
    p.setFont(FontOf(26, true));
    for (int i = 0; i < int(std::size(Services)); ++i) {
        const QRect box(left + (i % Columns) * (ButtonWidth + Gap), Top + (i / Columns) * (ButtonHeight + Gap / 2),
                        ButtonWidth, ButtonHeight);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRoundedRect(box, 14, 14);
        p.setPen(QColor(20, 80, 160));
        p.drawText(box, Qt::AlignCenter, QString::fromUtf8(Services[i]));
    }
}

} // namespace

QByteArray Render(const QString& name, const QString& ip, const QDateTime& now, int frame)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0, QColor(40, 110, 200));
    sky.setColorAt(1, QColor(10, 50, 120));
    p.fillRect(image.rect(), sky);

    p.fillRect(QRect(0, 0, Width, HeaderHeight), QColor(8, 36, 90));
    p.setPen(Qt::white);
    p.setFont(FontOf(30, true));
    p.drawText(QRect(24, 0, Width - 48, HeaderHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("自助服务终端  ") + name);

    p.setFont(FontOf(64, true));
    p.drawText(QRect(0, HeaderHeight + 20, Width, 80), Qt::AlignCenter, now.toString(QStringLiteral("HH:mm:ss")));
    p.setFont(FontOf(22));
    p.drawText(QRect(0, HeaderHeight + 100, Width, 36), Qt::AlignCenter,
               now.toString(QStringLiteral("yyyy年M月d日")) + QStringLiteral("  欢迎使用，请点击所需服务"));

    DrawButtons(p);

    const QRect ticker(0, Height - FooterHeight - TickerHeight, Width, TickerHeight);
    p.fillRect(ticker, QColor(255, 200, 60));
    p.setPen(QColor(90, 40, 0));
    p.setFont(FontOf(20));
    const int textWidth = p.fontMetrics().horizontalAdvance(Notice);
    const int span = Width + textWidth;
    const int x = Width - (frame * TickerStep) % span;
    p.drawText(QRect(x, ticker.top(), textWidth + 10, TickerHeight), Qt::AlignVCenter | Qt::AlignLeft, Notice);

    p.fillRect(QRect(0, Height - FooterHeight, Width, FooterHeight), QColor(8, 36, 90));
    p.setPen(QColor(200, 215, 240));
    p.setFont(FontOf(16));
    p.drawText(QRect(24, Height - FooterHeight, Width - 48, FooterHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("终端地址 ") + ip);
    p.drawText(QRect(24, Height - FooterHeight, Width - 48, FooterHeight), Qt::AlignVCenter | Qt::AlignRight,
               QStringLiteral("画面 %1").arg(frame));
    p.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", JpegQuality);
    return bytes;
}

} // namespace DesktopPicture
