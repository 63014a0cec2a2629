// The one-sheet workbook over libxlsxwriter: constant-memory writing, a temporary file, one final rename.
#include "platform/Workbook.h"

#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace {

constexpr int TempNameTries = 100;

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// Creates a new, empty file beside path under a name of its own; returns that name.
QString CreateTempBeside(const QString& path)
{
    const QFileInfo target(path);
    const QDir folder = target.absoluteDir();
    for (int i = 0; i < TempNameTries; ++i) {
        const QString name = QStringLiteral(".%1.%2.part")
                                 .arg(target.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString temp = folder.filePath(name);
        // 0666 less the umask: the workbook gets the permissions of any file the operator saves.
        const int fd = ::open(Native(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return temp;
        }
        if (errno != EEXIST)
            throw Exception(qt_error_string(errno));
    }
    throw Exception(qt_error_string(EEXIST));
}

} // namespace

Workbook::Workbook(const QString& path, const QString& fontName, double fontPoints) : path_(path)
{
    temp_ = CreateTempBeside(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    book_ = workbook_new_opt(Native(temp_).constData(), &options);
    if (book_)
        sheet_ = workbook_add_worksheet(book_, nullptr);
    if (!book_ || !sheet_) {
        Discard();
        // The library says no more; its temporary files are what it creates here.
        throw Exception(QStringLiteral("无法创建工作簿的临时文件"));
    }
    const QByteArray font = fontName.toUtf8();
    plain_ = workbook_add_format(book_);
    header_ = workbook_add_format(book_);
    for (lxw_format* format : {plain_, header_}) {
        if (!font.isEmpty())
            format_set_font_name(format, font.constData());
        if (fontPoints > 0)
            format_set_font_size(format, fontPoints);
    }
    format_set_pattern(header_, LXW_PATTERN_SOLID);
    format_set_bg_color(header_, HeaderFill);
}

Workbook::~Workbook()
{
    Discard();
}

void Workbook::Discard()
{
    if (book_) {
        lxw_workbook_free(book_);
        book_ = nullptr;
    }
    if (!temp_.isEmpty()) {
        ::unlink(Native(temp_).constData());
        temp_.clear();
    }
}

void Workbook::Check(int error) const
{
    if (error != LXW_NO_ERROR)
        throw Exception(QString::fromUtf8(lxw_strerror(static_cast<lxw_error>(error))));
}

void Workbook::SetColumnWidth(int column, double width)
{
    Check(worksheet_set_column(sheet_, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                               width, plain_));
    sized_.insert(column);
}

void Workbook::FormatUnsizedColumns()
{
    // The spreadsheet shows an empty cell in its row's format when the row has one, else in its
    // column's: every column without a width of its own gets the font too, at the standard width.
    // The library counts formatted columns as used cells; the sheet's used range stays the written.
    const lxw_col_t usedFrom = sheet_->dim_colmin;
    const lxw_col_t usedTo = sheet_->dim_colmax;
    int first = 0;
    for (const int column : sized_) {
        if (column > first)
            Check(worksheet_set_column(sheet_, first, column - 1, LXW_DEF_COL_WIDTH, plain_));
        first = column + 1;
    }
    if (first < LXW_COL_MAX)
        Check(worksheet_set_column(sheet_, first, LXW_COL_MAX - 1, LXW_DEF_COL_WIDTH, plain_));
    sheet_->dim_colmin = usedFrom;
    sheet_->dim_colmax = usedTo;
}

void Workbook::SetRowHeight(int row, double height)
{
    Check(worksheet_set_row(sheet_, static_cast<lxw_row_t>(row), height, plain_));
}

void Workbook::WriteText(int row, int column, const QString& text, CellStyle style)
{
    const QByteArray utf8 = CellText(text).toUtf8();
    Check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
                                 utf8.constData(), style == CellStyle::Header ? header_ : plain_));
}

void Workbook::Save()
{
    FormatUnsizedColumns();
    // Closing frees the workbook whatever the outcome.
    lxw_workbook* book = book_;
    book_ = nullptr;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        // Creating or writing the file: the system's reason says more than the library's.
        const int osError = errno;
        QString reason = QString::fromUtf8(lxw_strerror(closed));
        if (closed == LXW_ERROR_CREATING_XLSX_FILE || closed == LXW_ERROR_ZIP_FILE_OPERATION)
            reason += QStringLiteral(" (") + qt_error_string(osError) + QStringLiteral(")");
        Discard();
        throw Exception(reason);
    }
    if (std::rename(Native(temp_).constData(), Native(path_).constData()) != 0) {
        const QString reason = qt_error_string(errno);
        Discard();
        throw Exception(reason);
    }
    temp_.clear();
}

QString Workbook::CellText(const QString& text)
{
    auto dropped = [](char16_t c) {
        return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF;
    };
    bool clean = text.size() <= MaxCellChars;
    for (const QChar c : text)
        if (dropped(c.unicode())) {
            clean = false;
            break;
        }
    if (clean)
        return text;
    QString kept;
    kept.reserve(std::min<qsizetype>(text.size(), MaxCellChars));
    for (const QChar c : text)
        if (!dropped(c.unicode()))
            kept.append(c);
    if (kept.size() > MaxCellChars) {
        // Never cut a character in two.
        qsizetype end = MaxCellChars;
        if (kept.at(end - 1).isHighSurrogate())
            --end;
        kept.truncate(end);
    }
    return kept;
}
