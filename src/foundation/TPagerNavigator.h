// The pager of a query-backed grid: page size, current page and total rows, with its navigator,
// page-size box, page box and totals label.
#pragma once

#include "foundation/KeyedPage.h"

#include <QObject>
#include <QString>

class DataSet;
class DbNavigator;
class QComboBox;
class QLabel;
class QLineEdit;

class TPagerNavigator : public QObject {
public:
    static constexpr int DefaultPageSize = 500;
    static constexpr int MinPageSize = 100;

    // Keeps the controls (they belong to the window) and binds the navigator's clicks and the
    // page-size box's changes. Runs no statement and changes no control.
    TPagerNavigator(QComboBox* pageSizeBox, QLineEdit* pageEdit, DataSet* dataSet,
                    DbNavigator* navigator, QLabel* totalLabel);

    // Makes sql the base statement (lowered), goes to page 1 and shows it. Empty sql: nothing.
    void SetSql(const QString& sql);
    // Shows the current page again with the current statement and size.
    void Reload();
    void GoToPage(int n);   // clamped to 1..page count
    void SetPageSize(int n); // below 100 means 500; the same size again does nothing
    // The primary key of the first table of the statements to come ("id"): a long list of that
    // shape (see KeyedPage) reads a far page as fast as a near one, in the same order with ties
    // broken by the key. Other statements are paged with a plain limit.
    void SetRowKey(const QString& key) { RowKey = key; }
    int GetPageCount();
    int GetOffset() const;

    // Event handlers: a navigator button (0 first, 1 prior, 2 next, 3 last), the size box's text.
    void NavigatorClick(int button);
    void PageSizeChange();

    const QString& GetSql() const { return Sql; }
    const QString& GetCountSql() const { return CountSql; }
    int GetRecordCount() const { return RecordCount; }
    int GetPageSize() const { return PageSize; }
    int GetPageNo() const { return PageNo; }

    // Statement text helpers (public for the tests): the A-Z letters lowered, nothing else; and
    // the position of word in sql outside quoted text, -1 when there is none.
    static QString LowerAscii(const QString& sql);
    static int FindOutsideQuotes(const QString& sql, const QString& word);

private:
    void Refresh();
    void SetButtons(int pageCount);

    DbNavigator* Navigator;
    DataSet* DataSet_;
    QLabel* TotalLabel;
    QLineEdit* PageEdit;
    QComboBox* PageSizeBox;
    QString Sql;
    QString CountSql;
    QString RowKey;
    std::optional<KeyedPage> Keyed;
    int RecordCount = 0;
    int PageSize = DefaultPageSize;
    int PageNo = 1;
};
