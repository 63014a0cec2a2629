// A terminal's list of log files ("listlogs") read into the rows of the remote log window's table.
#pragma once

#include "platform/DataSet.h"

#include <QDomDocument>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <vector>

namespace LogList {

// Field widths of the list table, in GBK bytes.
inline constexpr int IdWidth = 10;
inline constexpr int NameWidth = 128;
inline constexpr int SizeWidth = 10;
inline constexpr int TimeWidth = 20;

// The table's fields, in the order of each row's values.
const QStringList& Fields();

// What a list reply gives the table. A reply that is no document leaves the table as it is (no
// rows, the parse error); an entry whose size is no number ends the list there (the rows before
// it, and that error). Either error is the one box the operator gets.
struct Read {
    std::optional<std::vector<DataSet::Row>> rows;
    std::exception_ptr error;
};

// The rows of a parsed list document: one per child element of the root's first child element.
Read FromDocument(const QDomDocument& doc);
// The same from the reply's text, parsed first; for a thread of its own, since a reply under the
// limit of a reply takes the parser a tenth of a second and more.
Read FromText(const QString& text);

} // namespace LogList
