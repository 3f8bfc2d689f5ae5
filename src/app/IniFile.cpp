#include "app/IniFile.h"

#include <QStringDecoder>
#include <QStringList>

namespace ct::app {

namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

int OctalValue(char c)
{
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

char16_t AsciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

QString UnescapedName(QByteArrayView bytes)
{
    const QString text = IniFile::FromUtf8(bytes);
    QString name;
    name.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            name += u'/';
            continue;
        }
        if (c == u'%') {
            const bool wide = i + 1 < text.size() && text[i + 1] == u'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            if (first + digits <= text.size()) {
                int code = 0;
                qsizetype k = 0;
                for (; k < digits; ++k) {
                    const int h = HexValue(text[first + k].unicode());
                    if (h < 0)
                        break;
                    code = code * 16 + h;
                }
                if (k == digits) {
                    name += QChar(char16_t(code));
                    i = first + digits - 1;
                    continue;
                }
            }
        }
        name += c;
    }
    return name;
}

// Sorts out one line given the section it lies in; a section line changes
// `inGeneral` for the lines after it.
void Classify(IniFile::Line& line, bool& inGeneral)
{
    const QByteArray& c = line.content;
    qsizetype i = 0;
    while (i < c.size() && IsBlank(c[i]))
        ++i;
    line.inGeneral = inGeneral;
    if (i == c.size()) {
        line.type = IniFile::Line::Blank;
        return;
    }
    if (c[i] == ';') {
        line.type = IniFile::Line::Comment;
        return;
    }
    qsizetype equals = -1;
    qsizetype end = c.size();
    bool quoted = false;
    for (qsizetype j = i; j < c.size(); ++j) {
        const char ch = c[j];
        if (ch == '\\') {
            ++j;
        } else if (ch == '"') {
            quoted = !quoted;
        } else if (!quoted && ch == ';') {
            end = j;
            break;
        } else if (!quoted && ch == '=' && equals < 0) {
            equals = j;
        }
    }
    if (c[i] == '[') {
        qsizetype close = c.indexOf(']', i);
        if (close < 0 || close > end)
            close = end;
        const QByteArray name = c.mid(i + 1, close - i - 1).trimmed();
        inGeneral = name.compare("general", Qt::CaseInsensitive) == 0;
        line.type = IniFile::Line::Section;
        line.inGeneral = inGeneral;
        return;
    }
    if (equals < 0) {
        line.type = IniFile::Line::Malformed;
        return;
    }
    line.type = IniFile::Line::Entry;
    line.name = UnescapedName(QByteArrayView(c).sliced(i, equals - i).trimmed());
    line.valueBegin = equals + 1;
    line.valueEnd = end;
}

// The value's items as written, before their kinds are known.
QStringList Items(QByteArrayView value)
{
    QStringList items;
    QString item;
    QByteArray bytes;   // plain bytes not yet decoded into `item`
    QByteArray blanks;  // unquoted blanks that count only if the item goes on
    bool started = false;
    bool quoted = false;
    const auto decode = [&] {
        if (!bytes.isEmpty()) {
            item += IniFile::FromUtf8(bytes);
            bytes.clear();
        }
    };
    const auto more = [&] {
        if (started)
            bytes += blanks;
        blanks.clear();
        started = true;
    };
    const auto unit = [&](char16_t code) {
        decode();
        item += QChar(code);
    };
    const qsizetype n = value.size();
    qsizetype i = 0;
    while (i < n) {
        const char ch = value[i];
        if (!quoted && IsBlank(ch)) {
            blanks += ch;
            ++i;
        } else if (!quoted && ch == ',') {
            decode();
            items.append(item);
            item.clear();
            blanks.clear();
            started = false;
            ++i;
        } else if (ch == '"') {
            more();
            quoted = !quoted;
            ++i;
        } else if (ch != '\\') {
            more();
            bytes += ch;
            ++i;
        } else {
            more();
            if (i + 1 == n) {
                bytes += '\\';
                ++i;
                continue;
            }
            const char e = value[i + 1];
            static const char named[] = "a\ab\bf\fn\nr\rt\tv\v\"\"''??\\\\";
            const char* hit = nullptr;
            for (const char* p = named; *p; p += 2) {
                if (*p == e) {
                    hit = p;
                    break;
                }
            }
            if (hit) {
                bytes += hit[1];
                i += 2;
            } else if (e == 'x' && i + 2 < n && HexValue(uchar(value[i + 2])) >= 0) {
                // As QSettings reads it: every hexadecimal digit that follows,
                // the code kept to 16 bits.
                char16_t code = 0;
                for (i += 2; i < n && HexValue(uchar(value[i])) >= 0; ++i)
                    code = char16_t((code << 4) | HexValue(uchar(value[i])));
                unit(code);
            } else if (OctalValue(e) >= 0) {
                char16_t code = 0;
                for (i += 1; i < n && OctalValue(value[i]) >= 0; ++i)
                    code = char16_t((code << 3) | OctalValue(value[i]));
                unit(code);
            } else {
                // Not an escape: a hand-written path such as C:\KX keeps it.
                bytes += '\\';
                bytes += e;
                i += 2;
            }
        }
    }
    decode();
    items.append(item);
    return items;
}

quint32 BigEndian32(const QByteArray& b, qsizetype at)
{
    return (quint32(uchar(b[at])) << 24) | (quint32(uchar(b[at + 1])) << 16)
           | (quint32(uchar(b[at + 2])) << 8) | quint32(uchar(b[at + 3]));
}

IniValue TextValue(QString text)
{
    // A registry string read as a C string ends at its first NUL.
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return {IniValue::Text, text, 0};
}

// "@Variant(...)" holds a QVariant streamed in the Qt 4.0 format: its type
// number, then the value. Only the kinds the store knows are taken apart;
// streaming arbitrary types back in would run code for any registered type.
IniValue VariantValue(QStringView payload)
{
    const IniValue other{IniValue::Other, {}, 0};
    QByteArray b;
    b.reserve(payload.size());
    for (QChar c : payload) {
        if (c.unicode() > 0xFF)
            return other;
        b += char(c.unicode());
    }
    if (b.size() < 8)
        return other;
    enum : quint32 { Int = 2, UInt = 3, String = 10 };
    const quint32 type = BigEndian32(b, 0);
    const quint32 word = BigEndian32(b, 4);
    if ((type == Int || type == UInt) && b.size() == 8)
        return {IniValue::Integer, {}, type == Int ? qint64(qint32(word)) : qint64(word)};
    if (type != String)
        return other;
    if (word == 0xFFFFFFFFu && b.size() == 8)
        return TextValue(QString());
    if (word % 2 != 0 || quint64(b.size()) != 8 + quint64(word))
        return other;
    QString text(qsizetype(word / 2), Qt::Uninitialized);
    for (qsizetype k = 0; k < text.size(); ++k)
        text[k] = QChar(char16_t((uchar(b[8 + 2 * k]) << 8) | uchar(b[9 + 2 * k])));
    return TextValue(text);
}

IniValue ItemValue(const QString& item)
{
    if (!item.startsWith(u'@'))
        return TextValue(item);
    if (item.startsWith(QLatin1String("@@")))
        return TextValue(item.mid(1));
    const IniValue other{IniValue::Other, {}, 0};
    if (item == QLatin1String("@Invalid()"))
        return other;
    if (!item.endsWith(u')'))
        return TextValue(item);
    for (const char* typed : {"@ByteArray(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
        if (item.startsWith(QLatin1String(typed)))
            return other;
    }
    const QLatin1String string("@String(");
    if (item.startsWith(string))
        return TextValue(item.mid(string.size(), item.size() - string.size() - 1));
    const QLatin1String variant("@Variant(");
    if (item.startsWith(variant))
        return VariantValue(QStringView(item).sliced(variant.size()).chopped(1));
    return TextValue(item);
}

void AppendUtf8(QByteArray& out, char32_t code)
{
    if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
    }
    out += char(0x80 | (code & 0x3F));
}

}  // namespace

IniFile::IniFile(const QByteArray& text)
{
    qsizetype pos = 0;
    if (text.startsWith(ByteOrderMark)) {
        Line mark;
        mark.content = ByteOrderMark;
        mark.type = Line::ByteOrderMark;
        lines_.push_back(mark);
        pos = ByteOrderMark.size();
    }
    bool inGeneral = true;
    bool newLineSeen = false;
    while (pos < text.size()) {
        qsizetype stop = pos;
        while (stop < text.size() && text[stop] != '\n' && text[stop] != '\r')
            ++stop;
        Line line;
        line.content = text.mid(pos, stop - pos);
        qsizetype next = stop;
        if (stop < text.size())
            next += (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1;
        line.end = text.mid(stop, next - stop);
        if (!newLineSeen && !line.end.isEmpty()) {
            // Never a lone CR: before an empty line it would join that
            // line's LF into one CR LF, and the empty line would be gone.
            newLine_ = line.end == "\r\n" ? line.end : QByteArray("\n");
            newLineSeen = true;
        }
        Classify(line, inGeneral);
        lines_.push_back(std::move(line));
        pos = next;
    }
}

QString IniFile::FromUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

bool IniFile::SameName(const QString& name, QLatin1String other)
{
    if (name.size() != other.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (AsciiLower(name[i].unicode()) != AsciiLower(char16_t(uchar(other.data()[i]))))
            return false;
    }
    return true;
}

qsizetype IniFile::Find(QLatin1String name) const
{
    for (qsizetype i = qsizetype(lines_.size()) - 1; i >= 0; --i) {
        const Line& line = lines_[size_t(i)];
        if (line.type == Line::Entry && line.inGeneral && SameName(line.name, name))
            return i;
    }
    return -1;
}

std::optional<IniValue> IniFile::Value(QLatin1String name) const
{
    const qsizetype i = Find(name);
    if (i < 0)
        return std::nullopt;
    const Line& line = lines_[size_t(i)];
    return ParseValue(QByteArrayView(line.content).sliced(line.valueBegin, line.valueEnd - line.valueBegin));
}

IniValue IniFile::ParseValue(QByteArrayView value)
{
    QStringList items = Items(value);
    if (items.size() == 1)
        return ItemValue(items.front());
    for (QString& item : items) {
        if (item.startsWith(QLatin1String("@@")))
            item.remove(0, 1);
    }
    return TextValue(items.join(u','));
}

QByteArray IniFile::EscapedText(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() + 8);
    if (text.startsWith(u'@'))
        out += '@';
    bool needsQuotes = false;
    // After a \x escape a hexadecimal digit would extend it; it is escaped too.
    bool escapeHexDigit = false;
    const auto hex = [&](char16_t c) {
        out += "\\x" + QByteArray::number(c, 16);
        escapeHexDigit = true;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (escapeHexDigit && c < 0x80 && HexValue(c) >= 0) {
            hex(c);
            continue;
        }
        escapeHexDigit = false;
        switch (c) {
        case u'\a': out += "\\a"; continue;
        case u'\b': out += "\\b"; continue;
        case u'\f': out += "\\f"; continue;
        case u'\n': out += "\\n"; continue;
        case u'\r': out += "\\r"; continue;
        case u'\t': out += "\\t"; continue;
        case u'\v': out += "\\v"; continue;
        case u'"': out += "\\\""; continue;
        case u'\\': out += "\\\\"; continue;
        case u';':
        case u',':
        case u'=':
            needsQuotes = true;
            break;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F) {
            hex(c);
        } else if (c < 0x80) {
            out += char(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            AppendUtf8(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            hex(c);
        } else {
            AppendUtf8(out, c);
        }
    }
    if (needsQuotes || out.startsWith(' ') || out.endsWith(' '))
        return '"' + out + '"';
    return out;
}

void IniFile::SetText(QLatin1String name, const QString& text)
{
    Set(name, EscapedText(text));
}

void IniFile::SetInteger(QLatin1String name, qint64 value)
{
    Set(name, QByteArray::number(value));
}

void IniFile::Set(QLatin1String name, const QByteArray& value)
{
    Line entry;
    entry.content = QByteArray(name.data(), name.size()) + '=' + value;
    entry.type = Line::Entry;
    entry.name = name;
    entry.valueBegin = name.size() + 1;
    entry.valueEnd = entry.content.size();

    const qsizetype found = Find(name);
    if (found >= 0) {
        entry.end = lines_[size_t(found)].end;
        lines_[size_t(found)] = std::move(entry);
        return;
    }
    entry.end = newLine_;
    qsizetype after = -1;
    for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
        if (lines_[size_t(i)].type == Line::Entry && lines_[size_t(i)].inGeneral)
            after = i;
    }
    for (qsizetype i = 0; after < 0 && i < qsizetype(lines_.size()); ++i) {
        if (lines_[size_t(i)].type == Line::Section && lines_[size_t(i)].inGeneral)
            after = i;
    }
    if (after >= 0) {
        Line& previous = lines_[size_t(after)];
        if (previous.end.isEmpty())
            previous.end = newLine_;
        lines_.insert(lines_.begin() + after + 1, std::move(entry));
        return;
    }
    Line header;
    header.content = "[General]";
    header.end = newLine_;
    header.type = Line::Section;
    const auto at = lines_.begin() + (!lines_.empty() && lines_.front().type == Line::ByteOrderMark ? 1 : 0);
    lines_.insert(lines_.insert(at, std::move(header)) + 1, std::move(entry));
}

QByteArray IniFile::Text() const
{
    QByteArray text;
    qsizetype size = 0;
    for (const Line& line : lines_)
        size += line.content.size() + line.end.size();
    text.reserve(size);
    for (const Line& line : lines_) {
        text += line.content;
        text += line.end;
    }
    return text;
}

}  // namespace ct::app
