// A Qt table model that shows a DataSet in a grid, with its current row kept in step.
#include "platform/DataSetModel.h"

#include <QItemSelectionModel>
#include <QTableView>

#include <set>

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent) {}

DataSetModel::DataSetModel(DataSet* dataSet, QList<DataSetColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns))
{
    SetDataSet(dataSet);
}

DataSetModel::~DataSetModel()
{
    QObject::disconnect(currentConnection_);
    if (ds_)
        ds_->RemoveObserver(this);
}

void DataSetModel::SetDataSet(DataSet* dataSet)
{
    if (dataSet == ds_)
        return;
    beginResetModel();
    if (ds_)
        ds_->RemoveObserver(this);
    ds_ = dataSet;
    if (ds_)
        ds_->AddObserver(this);
    ResolveFields();
    endResetModel();
    ShowRecNoInView();
}

void DataSetModel::SetColumns(QList<DataSetColumn> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    ResolveFields();
    endResetModel();
    ApplyWidths();
    ShowRecNoInView();
}

int DataSetModel::ColumnOfField(const QString& field) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (!columns_[i].field.isEmpty() &&
            columns_[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataSetModel::ResolveFields()
{
    fieldIndex_.assign(columns_.size(), -1);
    if (!ds_)
        return;
    for (int i = 0; i < columns_.size(); ++i)
        if (!columns_[i].field.isEmpty())
            fieldIndex_[i] = ds_->FindField(columns_[i].field);
}

void DataSetModel::ApplyColumns(QTableView* view)
{
    if (!view)
        return;
    if (view->model() != this)
        view->setModel(this);
    if (view_ != view || !currentConnection_) {
        QObject::disconnect(currentConnection_);
        view_ = view;
        currentConnection_ =
            connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                    [this](const QModelIndex& current, const QModelIndex&) {
                        ViewCurrentChanged(current);
                    });
    }
    ApplyWidths();
    ShowRecNoInView();
}

void DataSetModel::ApplyWidths()
{
    if (!view_)
        return;
    for (int i = 0; i < columns_.size(); ++i) {
        view_->setColumnWidth(i, columns_[i].width);
        view_->setColumnHidden(i, !columns_[i].visible);
    }
}

QList<int> DataSetModel::SelectedRows(QTableView* view)
{
    QList<int> rows;
    if (!view || !view->selectionModel())
        return rows;
    std::set<int> seen;
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes())
        if (seen.insert(index.row()).second)
            rows << index.row();
    return rows;
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !ds_ ? 0 : ds_->RecordCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns_.size();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!ds_ || !index.isValid() || index.row() >= ds_->RecordCount() ||
        index.column() >= columns_.size())
        return QVariant();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        if (columns_[column].field.isEmpty())
            return index.row() + 1;
        const int field = fieldIndex_[column];
        if (field < 0)
            return QString();
        return ds_->Cell(index.row(), field).value_or(QString());
    }
    case Qt::TextAlignmentRole:
        return static_cast<int>(columns_[column].alignment.toInt());
    default:
        return QVariant();
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columns_.size() ? QVariant(columns_[section].title)
                                                         : QVariant();
    return section + 1;
}

void DataSetModel::DataSetReset()
{
    beginResetModel();
    ResolveFields();
    endResetModel();
    ShowRecNoInView();
    emit CurrentRecordChanged();
}

void DataSetModel::DataSetMoved(int /*recNo*/)
{
    ShowRecNoInView();
    emit CurrentRecordChanged();
}

void DataSetModel::DataSetRowChanged(int row)
{
    if (!columns_.isEmpty())
        emit dataChanged(index(row, 0), index(row, columns_.size() - 1));
}

void DataSetModel::DataSetDestroyed()
{
    beginResetModel();
    ds_ = nullptr;
    ResolveFields();
    endResetModel();
}

void DataSetModel::ShowRecNoInView()
{
    if (syncing_ || !view_ || !ds_ || !view_->selectionModel() || ds_->RecNo() < 1 ||
        columns_.isEmpty())
        return;
    QItemSelectionModel* selection = view_->selectionModel();
    int column = selection->currentIndex().column();
    if (column < 0 || column >= columns_.size() || view_->isColumnHidden(column)) {
        column = 0;
        while (column < columns_.size() - 1 && view_->isColumnHidden(column))
            ++column;
    }
    const QModelIndex target = index(ds_->RecNo() - 1, column);
    if (selection->currentIndex().row() == target.row())
        return;
    syncing_ = true;
    selection->setCurrentIndex(target,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(target);
    syncing_ = false;
}

void DataSetModel::ViewCurrentChanged(const QModelIndex& current)
{
    if (syncing_ || !ds_ || !current.isValid())
        return;
    syncing_ = true;
    ds_->SetRecNo(current.row() + 1);
    syncing_ = false;
}
