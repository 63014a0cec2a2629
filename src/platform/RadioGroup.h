// A captioned group of radio buttons, one of which (or none) is chosen, by index.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent = nullptr);

    int ItemIndex() const; // -1 when none is chosen
    void SetItemIndex(int index); // an index outside the items chooses none
    QRadioButton* Item(int index) const;

private:
    QButtonGroup* group_;
    QList<QRadioButton*> items_;
};
