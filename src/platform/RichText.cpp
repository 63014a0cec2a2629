// A small rich-text (RTF) reader: text runs with their character formats into a text document.
#include "platform/RichText.h"

#include "platform/GbkCodec.h"
#include "platform/LongLines.h"

#include <QColor>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVector>

#include <cctype>
#include <vector>

namespace {

constexpr int DefaultHalfPoints = 24; // \fs is counted in half points

struct GroupState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 0;    // 0: the control's own size
    int colour = 0;        // index into the colour table; 0 is the control's own colour
    bool skip = false;     // inside a destination whose text is not shown
    bool colourTable = false;
    int unicodeSkip = 1;   // characters that stand in for each \u character
};

class Reader {
public:
    Reader(const QByteArray& bytes, QTextDocument* doc) : in_(bytes), cursor_(doc) {}

    void Run()
    {
        // One edit for the whole text: outside an edit, each insertion places the cursor on the
        // laid-out line, which means going over the whole paragraph so far, every time.
        cursor_.beginEditBlock();
        std::vector<GroupState> stack;
        GroupState state;
        int pendingSkip = 0; // stand-in characters still to drop after a \u
        for (pos_ = 0; pos_ < in_.size();) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                stack.push_back(state);
            } else if (c == '}') {
                ++pos_;
                Flush(state);
                if (!stack.empty()) {
                    state = stack.back();
                    stack.pop_back();
                }
            } else if (c == '\\') {
                ControlWord(state, pendingSkip);
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                if (pendingSkip > 0) {
                    --pendingSkip;
                    continue;
                }
                if (state.colourTable && c == ';')
                    EndColour();
                else if (!state.skip)
                    Byte(state, c);
            }
        }
        Flush(state);
        cursor_.endEditBlock();
    }

private:
    void Byte(const GroupState& state, char c)
    {
        if (!SameFormat(state))
            Flush(state);
        runState_ = state;
        run_.append(c);
    }

    void Text(const GroupState& state, const QString& text)
    {
        Flush(state);
        runState_ = state;
        pendingText_ += text;
    }

    bool SameFormat(const GroupState& s) const
    {
        return s.bold == runState_.bold && s.italic == runState_.italic && s.underline == runState_.underline &&
               s.halfPoints == runState_.halfPoints && s.colour == runState_.colour;
    }

    void Flush(const GroupState&)
    {
        QString text = pendingText_ + Gbk::Decode(run_);
        pendingText_.clear();
        run_.clear();
        if (text.isEmpty())
            return;
        QTextCharFormat format;
        format.setFontWeight(runState_.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(runState_.italic);
        format.setFontUnderline(runState_.underline);
        if (runState_.halfPoints > 0)
            format.setFontPointSize(runState_.halfPoints / 2.0);
        if (runState_.colour > 0 && runState_.colour < colours_.size())
            format.setForeground(colours_[runState_.colour]);
        cursor_.insertText(text, format);
    }

    void EndColour()
    {
        colours_ << QColor(red_, green_, blue_);
        red_ = green_ = blue_ = 0;
    }

    void ControlWord(GroupState& state, int& pendingSkip)
    {
        ++pos_; // the backslash
        if (pos_ >= in_.size())
            return;
        const char first = in_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(first))) {
            ++pos_;
            ControlSymbol(state, first, pendingSkip);
            return;
        }
        const qsizetype start = pos_;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        const QByteArray word = in_.mid(start, pos_ - start);
        bool hasValue = false;
        int value = 0;
        const qsizetype numberStart = pos_;
        if (pos_ < in_.size() && in_[pos_] == '-')
            ++pos_;
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        if (pos_ > numberStart) {
            value = in_.mid(numberStart, pos_ - numberStart).toInt(&hasValue);
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_; // the delimiter belongs to the word
        Apply(state, word, hasValue ? value : 1, hasValue, pendingSkip);
    }

    void ControlSymbol(GroupState& state, char symbol, int& pendingSkip)
    {
        if (symbol == '\'') {
            const QByteArray hex = in_.mid(pos_, 2);
            pos_ += hex.size();
            if (pendingSkip > 0) {
                --pendingSkip;
                return;
            }
            bool ok = false;
            const int byte = hex.toInt(&ok, 16);
            if (ok && !state.skip)
                Byte(state, char(byte));
        } else if (symbol == '*') {
            state.skip = true; // an optional destination this reader does not know
        } else if (symbol == '~') {
            if (!state.skip)
                Text(state, QString(QChar(0x00A0)));
        } else if (symbol == '\\' || symbol == '{' || symbol == '}') {
            if (!state.skip)
                Byte(state, symbol);
        } else if (symbol == '\r' || symbol == '\n') {
            if (!state.skip)
                Text(state, QStringLiteral("\n"));
        }
    }

    void Apply(GroupState& state, const QByteArray& word, int value, bool hasValue, int& pendingSkip)
    {
        static const QList<QByteArray> skipped = {"fonttbl", "stylesheet", "info", "pict", "object",
                                                  "header", "footer", "headerl", "headerr", "footerl",
                                                  "footerr", "listtable", "listoverridetable", "themedata",
                                                  "datastore", "latentstyles", "generator", "filetbl"};
        if (skipped.contains(word)) {
            state.skip = true;
        } else if (word == "colortbl") {
            state.skip = true;
            state.colourTable = true;
            colours_.clear();
        } else if (word == "red") {
            red_ = value;
        } else if (word == "green") {
            green_ = value;
        } else if (word == "blue") {
            blue_ = value;
        } else if (state.skip) {
            return;
        } else if (word == "par" || word == "line" || word == "row") {
            Text(state, QStringLiteral("\n"));
        } else if (word == "tab" || word == "cell") {
            Text(state, QStringLiteral("\t"));
        } else if (word == "b") {
            state.bold = value != 0;
        } else if (word == "i") {
            state.italic = value != 0;
        } else if (word == "ul") {
            state.underline = value != 0;
        } else if (word == "ulnone") {
            state.underline = false;
        } else if (word == "fs") {
            state.halfPoints = hasValue ? value : DefaultHalfPoints;
        } else if (word == "cf") {
            state.colour = value;
        } else if (word == "plain") {
            state.bold = state.italic = state.underline = false;
            state.halfPoints = 0;
            state.colour = 0;
        } else if (word == "uc") {
            state.unicodeSkip = value;
        } else if (word == "u" && hasValue) {
            Text(state, QString(QChar(char16_t(value < 0 ? value + 65536 : value))));
            pendingSkip = state.unicodeSkip;
        }
    }

    const QByteArray& in_;
    qsizetype pos_ = 0;
    QTextCursor cursor_;
    QByteArray run_;       // bytes of the current run, in the document's code page (GBK)
    QString pendingText_;  // characters given by number (\u, \par ...) before the run's bytes
    GroupState runState_;
    QVector<QColor> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
};

} // namespace

namespace RichText {

bool IsRtf(const QByteArray& bytes)
{
    return bytes.startsWith("{\\rtf");
}

std::unique_ptr<QTextDocument> Build(const QByteArray& bytes)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false); // loading is nothing the operator could undo
    if (IsRtf(bytes))
        Reader(bytes, doc.get()).Run();
    else
        doc->setPlainText(Gbk::Decode(bytes));
    LongLines::Break(doc.get());
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    return doc;
}

void Show(QTextEdit* edit, std::unique_ptr<QTextDocument> doc)
{
    QTextDocument* previous = edit->document();
    // The control frees a document of its own when it is replaced, not one given to it before.
    const bool givenBefore = previous->parent() == edit;
    doc->setDefaultFont(edit->font());
    // Without a page size a document is not laid out: the control lays it out once, when it gives
    // it its own size, rather than again for each of its settings that it applies first.
    doc->setPageSize(QSizeF(0, 0));
    doc->setParent(edit);
    edit->setDocument(doc.release());
    if (givenBefore)
        delete previous;
}

void Load(QTextEdit* edit, const QByteArray& bytes)
{
    Show(edit, Build(bytes));
}

} // namespace RichText
