// A titled group of radio buttons laid out in columns, read and set by the index of the chosen item.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    // The group is named name, its buttons name + "Item" + index; items fill the columns row by row.
    RadioGroup(const QString& name, const QString& title, const QStringList& items, int columns,
               QWidget* parent = nullptr);

    int Count() const;
    QRadioButton* Item(int index) const;
    // The chosen item, -1 when none is.
    int ItemIndex() const;
    // Chooses item index; any index outside the items leaves none chosen.
    void SetItemIndex(int index);

private:
    QButtonGroup* buttons_;
};
