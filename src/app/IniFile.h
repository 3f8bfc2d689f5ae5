// The text of the settings store's INI file, read and edited line by line: a
// change replaces or adds only the lines of the values it writes and keeps
// every other byte as it was, comments and malformed lines included, so that a
// save never drops what a load could not make sense of.
//
// Lines end at LF, CR LF or a lone CR; spaces and tabs before a line's first
// character do not count. A line starting with ';' is a comment, and an
// unquoted ';' later in a line starts a comment to the end of that line.
// "[name]" starts a section ("[name" takes the rest of the line as the name);
// the section "General", in any letter case, and the lines before the first
// section hold the values. "name=value", split at the first '=' outside double
// quotes, is an entry; any other line is malformed and ignored. A backslash
// makes the next byte plain for the quote, ';' and '=' rules.
//
// Names: spaces and tabs around a name do not count, "%XX" and "%UXXXX" stand
// for the character of that hexadecimal code, and names match without regard
// to ASCII letter case. Where the General section holds a name more than once
// (which a registry key cannot), the last entry counts, as QSettings read such
// files; a change rewrites that entry.
//
// Values, in the form QSettings writes them: text in double quotes stands as
// it is (a quote left open runs to the end of the line); outside quotes, the
// spaces and tabs at the start and end of the value and around a comma do not
// count. Escapes, in or out of quotes: \a \b \f \n \r \t \v \" \' \? \\; \x
// followed by hexadecimal digits, or \ followed by octal digits, is one UTF-16
// code unit; a backslash before any other character (or an \x without a
// digit), or at the end of the line, stands for itself, so that a hand-written
// path such as D:\KX920\G4.KXB survives. The other bytes are UTF-8, a leading
// U+FEFF included; invalid sequences read as U+FFFD.
//
// Kinds: a value with an unquoted comma is text, its comma-separated items
// joined by commas ("9600, n,8,1" reads as "9600,n,8,1"). A single item is
// text unless it is one of QSettings' typed forms: @ByteArray(...),
// @DateTime(...), @Rect(...), @Size(...), @Point(...) and @Invalid() are of
// another kind; @Variant(...) is an integer when it holds a 32-bit signed or
// unsigned integer, text when it holds a string, another kind otherwise;
// @String(...) is text. "@@" at the start of an item stands for "@". Text is
// cut at its first NUL.
//
// Written values: "name=value" with the escapes above for '"', '\', control
// characters, DEL and unpaired surrogates (as \x), the rest as UTF-8; quoted
// when the value holds ';', ',' or '=' or starts or ends with a space; text
// starting with '@' gets another '@'. New entries go after the last entry of
// the General section, else after its header, else under a new "[General]" at
// the top of the file.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1String>
#include <QString>

#include <optional>
#include <vector>

namespace ct::app {

struct IniValue {
    enum Kind { Text, Integer, Other };
    Kind kind = Text;
    QString text;          // Text
    qint64 integer = 0;    // Integer
};

class IniFile {
public:
    struct Line {
        enum Type { ByteOrderMark, Blank, Comment, Section, Entry, Malformed };
        QByteArray content;   // without its line end
        QByteArray end;       // "\n", "\r\n", "\r", or "" at the end of the text
        Type type = Blank;
        bool inGeneral = true;  // in the values' section (for Section: it starts it)
        QString name;           // Entry: the name, escapes resolved
        qsizetype valueBegin = 0;  // Entry: the value's bytes in content
        qsizetype valueEnd = 0;
    };

    explicit IniFile(const QByteArray& text = {});

    // The last General entry with this name, read by the rules above.
    std::optional<IniValue> Value(QLatin1String name) const;
    void SetText(QLatin1String name, const QString& text);
    void SetInteger(QLatin1String name, qint64 value);

    // The whole text: the bytes read, with the changes made since.
    QByteArray Text() const;
    const std::vector<Line>& Lines() const { return lines_; }

    static bool SameName(const QString& name, QLatin1String other);
    // QString::fromUtf8 but for a leading U+FEFF, which it would drop.
    static QString FromUtf8(QByteArrayView bytes);
    static IniValue ParseValue(QByteArrayView value);
    static QByteArray EscapedText(const QString& text);

private:
    void Set(QLatin1String name, const QByteArray& value);
    qsizetype Find(QLatin1String name) const;

    std::vector<Line> lines_;
    QByteArray newLine_ = "\n";  // for added lines: CR LF if the text's first line ends so
};

}  // namespace ct::app
