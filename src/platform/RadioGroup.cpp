// The radio group: exclusive buttons in a grid of columns, with an item index.
#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

RadioGroup::RadioGroup(const QString& name, const QString& title, const QStringList& items,
                       int columns, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this))
{
    setObjectName(name);
    auto* grid = new QGridLayout(this);
    const int perRow = std::max(1, columns);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        button->setObjectName(name + QStringLiteral("Item") + QString::number(i));
        buttons_->addButton(button, i);
        grid->addWidget(button, i / perRow, i % perRow);
    }
}

int RadioGroup::Count() const
{
    return buttons_->buttons().size();
}

QRadioButton* RadioGroup::Item(int index) const
{
    return qobject_cast<QRadioButton*>(buttons_->button(index));
}

int RadioGroup::ItemIndex() const
{
    return buttons_->checkedId();
}

void RadioGroup::SetItemIndex(int index)
{
    if (QRadioButton* button = Item(index)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last button by itself.
    buttons_->setExclusive(false);
    for (QAbstractButton* button : buttons_->buttons())
        button->setChecked(false);
    buttons_->setExclusive(true);
}
