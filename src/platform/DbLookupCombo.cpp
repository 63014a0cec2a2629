// A drop-down list over a data set that stands for the key field of the row it shows.
#include "platform/DbLookupCombo.h"

#include <QSignalBlocker>

namespace {
// The width the box asks for, in characters: its entries come from data (a terminal's name may be
// 100 characters long) and never set the width of its window; the list that drops down shows them.
constexpr int ShownCharacters = 20;
} // namespace

DbLookupCombo::DbLookupCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(ShownCharacters);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!list_ || index < 0 || index >= list_->RecordCount())
            return;
        const int keyIndex = list_->FindField(keyField_);
        key_ = keyIndex < 0 ? QString() : list_->Cell(index, keyIndex).value_or(QString());
        list_->SetRecNo(index + 1);
        emit Picked();
    });
}

DbLookupCombo::~DbLookupCombo()
{
    if (list_)
        list_->RemoveObserver(this);
}

void DbLookupCombo::SetListSource(DataSet* list, const QString& keyField, const QString& listField)
{
    if (list_)
        list_->RemoveObserver(this);
    list_ = list;
    keyField_ = keyField;
    listField_ = listField;
    if (list_)
        list_->AddObserver(this);
    Fill();
}

void DbLookupCombo::SetKeyValue(const QString& key)
{
    key_ = key;
    ShowKey();
}

void DbLookupCombo::DataSetReset()
{
    Fill();
}

void DbLookupCombo::DataSetDestroyed()
{
    list_ = nullptr;
    const QSignalBlocker quiet(this);
    clear();
}

void DbLookupCombo::Fill()
{
    {
        const QSignalBlocker quiet(this);
        clear();
        const int shown = list_ ? list_->FindField(listField_) : -1;
        if (shown >= 0)
            for (int row = 0; row < list_->RecordCount(); ++row)
                addItem(list_->Cell(row, shown).value_or(QString()));
    }
    ShowKey();
}

void DbLookupCombo::ShowKey()
{
    int row = -1;
    const int keyIndex = list_ ? list_->FindField(keyField_) : -1;
    if (keyIndex >= 0 && !key_.isEmpty()) {
        for (int i = 0; i < list_->RecordCount() && row < 0; ++i)
            if (list_->Cell(i, keyIndex).value_or(QString()) == key_)
                row = i;
    }
    {
        const QSignalBlocker quiet(this);
        setCurrentIndex(row);
    }
    if (row >= 0)
        list_->SetRecNo(row + 1);
}
