// A drop-down list over a data set: shows one field of the list's rows and stands for the key
// field of the row it shows.
#pragma once

#include "platform/DataSet.h"

#include <QComboBox>

// The list is a DataSet the caller owns (opened, reopened and closed by the caller). The box shows
// the row whose key field equals its key value, and keeps the list's current record on that row:
// setting the key, choosing an entry and reopening the list all move it there. A key that no row
// holds shows nothing.
class DbLookupCombo : public QComboBox, public DataSetObserver {
    Q_OBJECT
public:
    explicit DbLookupCombo(QWidget* parent = nullptr);
    ~DbLookupCombo() override;

    void SetListSource(DataSet* list, const QString& keyField, const QString& listField);
    DataSet* ListSource() const { return list_; }

    void SetKeyValue(const QString& key);
    QString KeyValue() const { return key_; }
    // The text shown; empty when the key names no row of the list.
    QString Text() const { return currentText(); }

    // DataSetObserver
    void DataSetReset() override;
    void DataSetMoved(int /*recNo*/) override {}
    void DataSetDestroyed() override;

signals:
    // The operator chose an entry; the key and the list's current record follow it already.
    void Picked();

private:
    void Fill();
    void ShowKey(); // shows key_ and moves the list onto its row

    DataSet* list_ = nullptr;
    QString keyField_;
    QString listField_;
    QString key_;
};
