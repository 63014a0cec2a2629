// The navigator bar of a paged grid: four buttons (first, prior, next, last) that report their index.
#include "platform/DbNavigator.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {

constexpr int ButtonWidth = 28;
constexpr int ButtonHeight = 22;
constexpr int GlyphSize = 12;

// A triangle pointing left or right, with a bar before it for first and last.
QIcon Glyph(int button)
{
    QPixmap pm(GlyphSize, GlyphSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x4a, 0x7a));
    const bool left = button == DbNavigator::First || button == DbNavigator::Prior;
    const bool bar = button == DbNavigator::First || button == DbNavigator::Last;
    const qreal tipX = left ? 2.5 : GlyphSize - 2.5;
    const qreal baseX = left ? GlyphSize - 2.5 : 2.5;
    QPainterPath triangle;
    triangle.moveTo(tipX, GlyphSize / 2.0);
    triangle.lineTo(baseX, 1.5);
    triangle.lineTo(baseX, GlyphSize - 1.5);
    triangle.closeSubpath();
    p.drawPath(triangle);
    if (bar)
        p.drawRect(QRectF(left ? 0.5 : GlyphSize - 2.5, 1.5, 2, GlyphSize - 3));
    return QIcon(pm);
}

} // namespace

DbNavigator::DbNavigator(QWidget* parent) : QWidget(parent)
{
    static const char* const names[ButtonCount] = {"First", "Prior", "Next", "Last"};
    static const char* const hints[ButtonCount] = {"第一页", "上一页", "下一页", "最后一页"};
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(names[i]));
        button->setToolTip(QString::fromUtf8(hints[i]));
        button->setIcon(Glyph(i));
        button->setFixedSize(ButtonWidth, ButtonHeight);
        connect(button, &QToolButton::clicked, this, [this, i] { emit BtnClick(i); });
        row->addWidget(button);
        buttons_[i] = button;
    }
}

QToolButton* DbNavigator::ButtonAt(int index) const
{
    return index >= 0 && index < ButtonCount ? buttons_[index] : nullptr;
}

void DbNavigator::SetButtonEnabled(int index, bool enabled)
{
    if (QToolButton* button = ButtonAt(index))
        button->setEnabled(enabled);
}

bool DbNavigator::ButtonEnabled(int index) const
{
    const QToolButton* button = ButtonAt(index);
    return button && button->isEnabled();
}
