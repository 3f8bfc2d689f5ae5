// Feeds arbitrary bytes to the settings store as the text of its INI file.
// Loading never crashes or overruns; reading keeps every byte; a save keeps
// every line it does not own and every value the load had read, and saving
// the same values again changes nothing; once all seven values are saved, a
// load reads exactly what the first load gave the window. Then values taken
// from the same bytes (NULs, control characters, quotes, invalid UTF-8,
// unpaired surrogates) are saved and must read back as stored, cut at a NUL.
#include "app/IniFile.h"
#include "app/SettingsStore.h"

#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using ct::app::IniFile;
using ct::app::IniValue;
using ct::app::SettingsStore;
using ct::app::StoredSettings;
using ct::link::LinkSettings;

namespace {

const char* const StoreNames[] = {"FirmwareFile", "TYPE",    "ComBaudRate", "ComPortName",
                                  "NetIP",        "NetPort", "LanguageFlag"};

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "settings file invariant broken: %s\n", what);
        std::abort();
    }
}

bool OwnedByStore(const IniFile::Line& line)
{
    if (line.type != IniFile::Line::Entry || !line.inGeneral)
        return false;
    for (const char* name : StoreNames) {
        if (IniFile::SameName(line.name, QLatin1String(name)))
            return true;
    }
    return false;
}

// What a save must keep: every line but the store's own entries, without
// line ends (a last line without one may get one).
QList<QByteArray> ForeignLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    const IniFile file(text);
    for (const IniFile::Line& line : file.Lines()) {
        if (!OwnedByStore(line))
            lines.append(line.content);
    }
    return lines;
}

bool KeepsForeignLines(const QByteArray& before, const QByteArray& after)
{
    const QList<QByteArray> was = ForeignLines(before);
    QList<QByteArray> is = ForeignLines(after);
    // A file without a General section gets one, at the top (after a BOM).
    if (is.size() == was.size() + 1) {
        const qsizetype at = !is.isEmpty() && is.front() == "\xEF\xBB\xBF" ? 1 : 0;
        if (is.size() <= at || is[at] != "[General]")
            return false;
        is.removeAt(at);
    }
    return is == was;
}

bool SameValue(const std::optional<IniValue>& a, const std::optional<IniValue>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || (a->kind == b->kind && a->text == b->text && a->integer == b->integer);
}

bool SameLink(const LinkSettings& a, const LinkSettings& b)
{
    return a.LinkType == b.LinkType && a.ComPortName == b.ComPortName && a.ComBaudRate == b.ComBaudRate
           && a.NetIP == b.NetIP && a.NetPort == b.NetPort;
}

bool SameSettings(const StoredSettings& a, const StoredSettings& b)
{
    return SameLink(a.link, b.link) && a.firmwareFile == b.firmwareFile && a.languageName == b.languageName
           && a.languageIndex == b.languageIndex;
}

QString CutAtNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

// A typed link text as a later run reads it: as UTF-8 (invalid sequences
// become U+FFFD), cut at a NUL.
std::string AsStored(const std::string& typed)
{
    return CutAtNul(IniFile::FromUtf8(typed)).toStdString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    Require(IniFile(text).Text() == text, "reading changes the text");

    const StoredSettings loaded = SettingsStore::LoadIni(text);
    Require(loaded.link.LinkType <= 1, "link type other than 0 or 1");
    Require(loaded.languageIndex == (loaded.languageName == QLatin1String("ChineseGB")     ? 1
                                     : loaded.languageName == QLatin1String("ChineseBIG5") ? 2
                                                                                           : 0),
            "language index does not follow its name");

    // The window saves the link settings it loaded, unchanged.
    const QByteArray linked = SettingsStore::SaveLinkSettingsIni(text, loaded.link);
    Require(KeepsForeignLines(text, linked), "link save lost or changed a line it does not own");
    const StoredSettings relinked = SettingsStore::LoadIni(linked);
    Require(SameLink(relinked.link, loaded.link), "link save lost a link value");
    Require(relinked.firmwareFile == loaded.firmwareFile, "link save changed the firmware file");
    const IniFile before(text);
    const IniFile after(linked);
    Require(SameValue(before.Value(QLatin1String("FirmwareFile")), after.Value(QLatin1String("FirmwareFile")))
                && SameValue(before.Value(QLatin1String("LanguageFlag")),
                             after.Value(QLatin1String("LanguageFlag"))),
            "link save changed a value it does not write");
    Require(SettingsStore::SaveLinkSettingsIni(linked, loaded.link) == linked, "second link save changed the file");

    // With all seven values written, a load gives what the first load gave.
    QByteArray all = SettingsStore::SaveFirmwareFileIni(linked, loaded.firmwareFile);
    all = SettingsStore::SaveLanguageIni(all, loaded.languageName);
    Require(KeepsForeignLines(text, all), "saves lost or changed a line they do not own");
    Require(SameSettings(SettingsStore::LoadIni(all), loaded), "saved settings read back differently");

    // Texts typed into the fields, taken from the same bytes: the link texts
    // as bytes, the firmware file and language names as UTF-16 units.
    LinkSettings typed;
    typed.LinkType = size > 0 && (data[0] & 1) ? ct::link::LinkTypeNet : ct::link::LinkTypeCom;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t quarter = size / 4;
    typed.ComPortName = bytes.substr(0, quarter);
    typed.ComBaudRate = bytes.substr(quarter, quarter);
    typed.NetIP = bytes.substr(2 * quarter, quarter);
    typed.NetPort = bytes.substr(3 * quarter);
    QString units(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), data, size_t(units.size()) * sizeof(QChar));  // data may be unaligned
    const QString fileName = units.left(units.size() / 2);
    const QString language = units.mid(units.size() / 2);

    QByteArray retyped = SettingsStore::SaveLinkSettingsIni(all, typed);
    retyped = SettingsStore::SaveFirmwareFileIni(retyped, fileName);
    retyped = SettingsStore::SaveLanguageIni(retyped, language);
    Require(KeepsForeignLines(text, retyped), "saving typed texts lost or changed a foreign line");
    const StoredSettings read = SettingsStore::LoadIni(retyped);
    Require(read.link.LinkType == typed.LinkType, "typed link type read back differently");
    Require(read.link.ComPortName == AsStored(typed.ComPortName) && read.link.ComBaudRate == AsStored(typed.ComBaudRate)
                && read.link.NetIP == AsStored(typed.NetIP) && read.link.NetPort == AsStored(typed.NetPort),
            "typed link text read back differently");
    Require(read.firmwareFile == CutAtNul(fileName), "typed firmware file read back differently");
    Require(read.languageName == CutAtNul(language), "typed language name read back differently");
    return 0;
}
