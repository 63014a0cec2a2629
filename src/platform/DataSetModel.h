// A Qt table model that shows a DataSet in a grid: configured columns, a drawn row-number
// column, and the view's current row kept in step with the set's current record.
#pragma once

#include "platform/DataSet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

class QTableView;

struct DataSetColumn {
    QString field;   // empty: the drawn row-number column ("序号"), 1-based
    QString title;
    int width = 80;
    bool visible = true;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class DataSetModel : public QAbstractTableModel, public DataSetObserver {
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);
    DataSetModel(DataSet* dataSet, QList<DataSetColumn> columns, QObject* parent = nullptr);
    ~DataSetModel() override;

    // The set shown (not owned); nullptr shows nothing. The set tells the model when it goes.
    void SetDataSet(DataSet* dataSet);
    DataSet* GetDataSet() const { return ds_; }

    void SetColumns(QList<DataSetColumn> columns);
    const QList<DataSetColumn>& Columns() const { return columns_; }
    // The model column that shows field (case does not matter), -1 when none does.
    int ColumnOfField(const QString& field) const;

    // Shows this model in view (setting it as the view's model when needed), applies the column
    // widths and visibility, and from then on keeps the view's current row and the set's RecNo
    // in step both ways. Call again after SetColumns on another view.
    void ApplyColumns(QTableView* view);

    // The selected rows of view (0-based), each once, in the order they were selected.
    static QList<int> SelectedRows(QTableView* view);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // DataSetObserver
    void DataSetReset() override;
    void DataSetMoved(int recNo) override;
    void DataSetRowChanged(int row) override;
    void DataSetDestroyed() override;

signals:
    // The set's current record changed, or the set was reopened: whatever shows the current
    // record follows it, however it moved (a click, a key, the wheel, a refresh, a search).
    void CurrentRecordChanged();

private:
    void ResolveFields();
    void ApplyWidths();
    void ShowRecNoInView();
    void ViewCurrentChanged(const QModelIndex& current);

    DataSet* ds_ = nullptr;
    QList<DataSetColumn> columns_;
    std::vector<int> fieldIndex_; // per column: field index in ds_, -1 for none
    QPointer<QTableView> view_;
    QMetaObject::Connection currentConnection_;
    bool syncing_ = false; // a move that one side started is not echoed back to it
};
