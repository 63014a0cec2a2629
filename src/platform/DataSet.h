// An in-memory result or table with named fields and a current record (1-based RecNo).
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// Something that shows a DataSet (a grid model) and must hear when its rows or position change.
class DataSetObserver {
public:
    virtual ~DataSetObserver() = default;
    virtual void DataSetReset() = 0;          // rows replaced, opened or closed
    virtual void DataSetMoved(int recNo) = 0; // current record changed
    virtual void DataSetRowChanged(int /*row*/) {} // one row's values changed (0-based)
    virtual void DataSetDestroyed() {}             // the set is going away; forget it
};

class DataSet {
public:
    using Value = std::optional<QString>; // std::nullopt is SQL NULL
    using Row = std::vector<Value>;

    DataSet();
    // Copies data and position, not observers. A copy shares its rows with the original until
    // either side changes them, so a worker may read a copy taken on the UI thread while the
    // grid's own set is reopened or edited.
    DataSet(const DataSet& other);
    DataSet& operator=(const DataSet& other);
    DataSet(DataSet&& other) noexcept;
    DataSet& operator=(DataSet&& other) noexcept;
    ~DataSet();

    // The statement text the set was (or will be) opened with; kept for a reopen.
    QString CommandText;

    // Replaces fields and rows, opens the set and goes to the first record.
    void Open(QStringList fieldNames, std::vector<Row> rows);
    void Close();                       // no fields, no rows, not active
    bool Active() const { return active_; }

    int FieldCount() const { return fields_.size(); }
    QString FieldName(int index) const { return fields_.at(index); }
    const QStringList& FieldNames() const { return fields_; }
    int FindField(const QString& name) const; // -1 when absent; case does not matter
    int FieldIndex(const QString& name) const; // throws Exception "Field '<name>' not found"

    // Values of the current record; NULL reads as "" / 0. An empty set reads as NULL everywhere.
    bool IsNull(const QString& field) const;
    QString AsString(const QString& field) const;
    int AsInteger(const QString& field) const;   // text that is not a number throws Exception
    double AsFloat(const QString& field) const;
    QString AsString(int fieldIndex) const;

    // Direct access to any row (0-based), for grids and exports.
    const Value& Cell(int row, int fieldIndex) const;
    void SetCell(int row, int fieldIndex, Value v);
    const std::vector<Row>& Rows() const { return *rows_; }

    // Editing of in-memory tables: appends a row (all NULL) and makes it current.
    void Append();
    void SetField(const QString& field, Value v); // current record
    void Delete();                                // current record
    void Clear();                                 // rows gone, fields kept, still active

    int RecordCount() const { return static_cast<int>(rows_->size()); }
    int RecNo() const { return recNo_; }         // 0 when empty
    void SetRecNo(int recNo);                    // clamped to 1..RecordCount
    void First();
    void Last();
    void Next();                                 // past the last record sets Eof
    void Prior();
    void MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    bool IsEmpty() const { return rows_->empty(); }
    // Moves to the first record whose field equals value (case-sensitive text comparison).
    bool Locate(const QString& field, const QString& value);

    void AddObserver(DataSetObserver* o);
    void RemoveObserver(DataSetObserver* o);

private:
    void NotifyReset();
    void NotifyMoved();
    void NotifyRowChanged(int row);
    void SetPosition(int recNo, bool eof, bool bof); // notifies when the record changed
    void CheckFieldIndex(int fieldIndex) const;
    const Value& CurrentValue(int fieldIndex) const;
    std::vector<Row>& OwnRows(); // the rows, copied first when a copy of the set still shares them

    QStringList fields_;
    std::shared_ptr<std::vector<Row>> rows_; // never null
    int recNo_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    bool active_ = false;
    std::vector<DataSetObserver*> observers_;
};
