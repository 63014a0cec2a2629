// An in-memory result or table with named fields and a current record (1-based RecNo).
#include "platform/DataSet.h"

#include "platform/Exception.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
const DataSet::Value& NullValue()
{
    static const DataSet::Value null;
    return null;
}

// The rows of every empty set: sharing them costs no allocation, and a move never throws.
const std::shared_ptr<std::vector<DataSet::Row>>& NoRows()
{
    static const auto none = std::make_shared<std::vector<DataSet::Row>>();
    return none;
}
} // namespace

DataSet::DataSet() : rows_(NoRows()) {}

DataSet::DataSet(const DataSet& other)
    : CommandText(other.CommandText), fields_(other.fields_), rows_(other.rows_),
      recNo_(other.recNo_), eof_(other.eof_), bof_(other.bof_), active_(other.active_)
{
}

DataSet& DataSet::operator=(const DataSet& other)
{
    if (this == &other)
        return *this;
    // Our own observers stay: they show this object, which now holds other rows.
    CommandText = other.CommandText;
    fields_ = other.fields_;
    rows_ = other.rows_;
    recNo_ = other.recNo_;
    eof_ = other.eof_;
    bof_ = other.bof_;
    active_ = other.active_;
    NotifyReset();
    return *this;
}

DataSet::DataSet(DataSet&& other) noexcept
    : CommandText(std::move(other.CommandText)), fields_(std::move(other.fields_)),
      rows_(std::exchange(other.rows_, NoRows())), recNo_(other.recNo_), eof_(other.eof_),
      bof_(other.bof_), active_(other.active_)
{
    other.Close(); // a moved-from set is closed and empty, and its grids hear so
}

DataSet& DataSet::operator=(DataSet&& other) noexcept
{
    if (this == &other)
        return *this;
    CommandText = std::move(other.CommandText);
    fields_ = std::move(other.fields_);
    rows_ = std::exchange(other.rows_, NoRows());
    recNo_ = other.recNo_;
    eof_ = other.eof_;
    bof_ = other.bof_;
    active_ = other.active_;
    other.Close(); // a moved-from set is closed and empty, and its grids hear so
    NotifyReset();
    return *this;
}

DataSet::~DataSet()
{
    const auto observers = observers_;
    observers_.clear();
    for (DataSetObserver* o : observers)
        o->DataSetDestroyed();
}

void DataSet::Open(QStringList fieldNames, std::vector<Row> rows)
{
    fields_ = std::move(fieldNames);
    for (Row& r : rows)
        r.resize(fields_.size());
    // A new vector: copies of the set keep the rows they were given.
    rows_ = std::make_shared<std::vector<Row>>(std::move(rows));
    active_ = true;
    recNo_ = rows_->empty() ? 0 : 1;
    eof_ = rows_->empty();
    bof_ = true;
    NotifyReset();
}

void DataSet::Close()
{
    fields_.clear();
    rows_ = NoRows();
    recNo_ = 0;
    eof_ = bof_ = true;
    active_ = false;
    NotifyReset();
}

int DataSet::FindField(const QString& name) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int DataSet::FieldIndex(const QString& name) const
{
    const int i = FindField(name);
    if (i < 0)
        throw Exception(QStringLiteral("Field '%1' not found").arg(name));
    return i;
}

void DataSet::CheckFieldIndex(int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= fields_.size())
        throw Exception(QStringLiteral("Field index %1 out of range").arg(fieldIndex));
}

const DataSet::Value& DataSet::CurrentValue(int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    if (recNo_ < 1 || recNo_ > RecordCount())
        return NullValue();
    return (*rows_)[recNo_ - 1][fieldIndex];
}

bool DataSet::IsNull(const QString& field) const
{
    return !CurrentValue(FieldIndex(field)).has_value();
}

QString DataSet::AsString(const QString& field) const
{
    return AsString(FieldIndex(field));
}

QString DataSet::AsString(int fieldIndex) const
{
    return CurrentValue(fieldIndex).value_or(QString());
}

int DataSet::AsInteger(const QString& field) const
{
    const Value& v = CurrentValue(FieldIndex(field));
    if (!v)
        return 0;
    const QString text = v->trimmed();
    bool ok = false;
    const int n = text.toInt(&ok);
    if (ok)
        return n;
    // A number with a fraction (a float column) is rounded, as a float field reads as an integer.
    const double d = text.toDouble(&ok);
    if (ok && std::isfinite(d) && std::fabs(d) < 2147483647.0)
        return static_cast<int>(std::lround(d));
    throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(*v));
}

double DataSet::AsFloat(const QString& field) const
{
    const Value& v = CurrentValue(FieldIndex(field));
    if (!v)
        return 0.0;
    bool ok = false;
    const double d = v->trimmed().toDouble(&ok);
    if (!ok)
        throw Exception(QStringLiteral("'%1' is not a valid floating point value").arg(*v));
    return d;
}

const DataSet::Value& DataSet::Cell(int row, int fieldIndex) const
{
    CheckFieldIndex(fieldIndex);
    if (row < 0 || row >= RecordCount())
        throw Exception(QStringLiteral("Row %1 out of range").arg(row));
    return (*rows_)[row][fieldIndex];
}

void DataSet::SetCell(int row, int fieldIndex, Value v)
{
    CheckFieldIndex(fieldIndex);
    if (row < 0 || row >= RecordCount())
        throw Exception(QStringLiteral("Row %1 out of range").arg(row));
    OwnRows()[row][fieldIndex] = std::move(v);
    NotifyRowChanged(row);
}

void DataSet::Append()
{
    OwnRows().push_back(Row(fields_.size()));
    active_ = true;
    recNo_ = RecordCount();
    eof_ = bof_ = false;
    NotifyReset();
}

void DataSet::SetField(const QString& field, Value v)
{
    const int index = FieldIndex(field);
    if (recNo_ < 1 || recNo_ > RecordCount())
        throw Exception(QStringLiteral("No current record"));
    SetCell(recNo_ - 1, index, std::move(v));
}

void DataSet::Delete()
{
    if (recNo_ < 1 || recNo_ > RecordCount())
        return;
    std::vector<Row>& rows = OwnRows();
    rows.erase(rows.begin() + (recNo_ - 1));
    recNo_ = std::min(recNo_, RecordCount());
    eof_ = bof_ = rows.empty();
    NotifyReset();
}

void DataSet::Clear()
{
    rows_ = NoRows();
    recNo_ = 0;
    eof_ = bof_ = true;
    NotifyReset();
}

std::vector<DataSet::Row>& DataSet::OwnRows()
{
    // Rows that no copy holds cannot gain a sharer meanwhile: only this set could hand them out.
    if (rows_.use_count() > 1)
        rows_ = std::make_shared<std::vector<Row>>(*rows_);
    return *rows_;
}

void DataSet::SetPosition(int recNo, bool eof, bool bof)
{
    const bool moved = recNo != recNo_;
    recNo_ = recNo;
    eof_ = eof;
    bof_ = bof;
    if (moved)
        NotifyMoved();
}

void DataSet::SetRecNo(int recNo)
{
    if (rows_->empty())
        return;
    SetPosition(std::clamp(recNo, 1, RecordCount()), false, false);
}

void DataSet::First()
{
    SetPosition(rows_->empty() ? 0 : 1, rows_->empty(), true);
}

void DataSet::Last()
{
    // As the form framework's data sets do: Last leaves Eof set.
    SetPosition(RecordCount(), true, rows_->empty());
}

void DataSet::Next()
{
    if (recNo_ < RecordCount())
        SetPosition(recNo_ + 1, false, false);
    else
        eof_ = true;
}

void DataSet::Prior()
{
    if (recNo_ > 1)
        SetPosition(recNo_ - 1, false, false);
    else
        bof_ = true;
}

void DataSet::MoveBy(int distance)
{
    if (rows_->empty() || distance == 0)
        return;
    const int target = recNo_ + distance;
    if (target > RecordCount())
        SetPosition(RecordCount(), true, false);
    else if (target < 1)
        SetPosition(1, false, true);
    else
        SetPosition(target, false, false);
}

bool DataSet::Locate(const QString& field, const QString& value)
{
    const int index = FieldIndex(field);
    for (int i = 0; i < RecordCount(); ++i) {
        const Value& v = (*rows_)[i][index];
        if (v && *v == value) {
            SetPosition(i + 1, false, false);
            return true;
        }
    }
    return false;
}

void DataSet::AddObserver(DataSetObserver* o)
{
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end())
        observers_.push_back(o);
}

void DataSet::RemoveObserver(DataSetObserver* o)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

// Observers may detach themselves (or others) while being told, so each walk goes over a copy
// and skips any observer that has left meanwhile.
template <typename F>
static void ForEachObserver(const std::vector<DataSetObserver*>& observers, F tell)
{
    const auto copy = observers;
    for (DataSetObserver* o : copy)
        if (std::find(observers.begin(), observers.end(), o) != observers.end())
            tell(o);
}

void DataSet::NotifyReset()
{
    ForEachObserver(observers_, [](DataSetObserver* o) { o->DataSetReset(); });
}

void DataSet::NotifyMoved()
{
    const int recNo = recNo_;
    ForEachObserver(observers_, [recNo](DataSetObserver* o) { o->DataSetMoved(recNo); });
}

void DataSet::NotifyRowChanged(int row)
{
    ForEachObserver(observers_, [row](DataSetObserver* o) { o->DataSetRowChanged(row); });
}
