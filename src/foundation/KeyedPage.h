// The statements that read one page of a long keyed list without the server reading every row
// before it: the page's keys from the order index, counted from the nearer end, then their rows.
#pragma once

#include <QString>

#include <optional>

class KeyedPage {
public:
    // The shape these statements need, from a lowered statement; nullopt when it has another:
    //   select <columns> from <table> <x>, <other> <y> where <x>.<c> = <y>.<d> [and ...]
    //   order by <column> [asc|desc]
    // key is <table>'s primary key, <x>.<c> a column that is never null and has an index of its
    // own, and <y>.<d> the primary key of <other>; the conditions after
    // the join and the order column name <table>'s columns only. Anything else (a second order
    // column, "or", a subquery, a limit, grouping) leaves the statement to be run as it is.
    static std::optional<KeyedPage> Parse(const QString& sql, const QString& key);

    // The rows from offset on, of count rows in all, at most size of them, in the statement's
    // order with the key breaking ties in the same direction: the first page reads the statement
    // itself; a later one reads its keys from the nearer end of the list and then those rows.
    QString Page(int offset, int size, int count) const;

private:
    QString Keys(bool reversed, int offset, int size) const;
    QString Order(bool reversed) const;

    QString head_;    // the statement before its order clause
    QString columns_; // the select list
    QString table_, x_, other_, y_, c_, d_;
    QString rest_;    // the conditions after the join, with their leading "and"
    QString column_;  // the order column
    bool descending_ = false;
    QString key_;
};
