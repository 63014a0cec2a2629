// A captioned group of radio buttons, one of which (or none) is chosen, by index.
#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this))
{
    auto* grid = new QGridLayout(this);
    const int perRow = columns < 1 ? 1 : columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setObjectName(QStringLiteral("Item%1").arg(i));
        group_->addButton(button, i);
        grid->addWidget(button, i / perRow, i % perRow);
        items_ << button;
    }
}

int RadioGroup::ItemIndex() const
{
    return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < items_.size()) {
        items_[index]->setChecked(true);
        return;
    }
    // An exclusive group cannot uncheck its last button: lift the rule for the moment.
    group_->setExclusive(false);
    for (QRadioButton* button : items_)
        button->setChecked(false);
    group_->setExclusive(true);
}

QRadioButton* RadioGroup::Item(int index) const
{
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}
