#include "app/Fonts.h"

#include "app/Catalogue.h"

namespace ct::app {

namespace {

// Linux's look-alikes come first; a Windows machine has none of them (Wine
// shows the host's, so the window looks as it does on Linux) and takes the
// fonts of its own that follow: the layout's font itself, then Windows' CJK
// fonts, present from Vista on.
const QStringList CjkFallbacks = {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
                                  QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")};

QStringList Then(QStringList families, const QStringList& more)
{
    families.append(more);
    return families;
}

}  // namespace

QStringList FamiliesFor(const QString& layoutFamily)
{
    if (layoutFamily == QLatin1String("Arial Narrow"))
        return Then({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Nimbus Sans Narrow"),
                     QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Arial Narrow")},
                    CjkFallbacks);
    if (layoutFamily == QLatin1String("Arial Black"))
        return Then({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial Black")},
                    CjkFallbacks);
    if (layoutFamily == QStringLiteral("宋体"))
        return Then(CjkFallbacks, {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    if (layoutFamily == QStringLiteral("細明體"))
        return Then({CjkFallbacks[0], CjkFallbacks[1], QStringLiteral("MingLiU"), QStringLiteral("PMingLiU"),
                     QStringLiteral("Microsoft JhengHei"), CjkFallbacks[2], CjkFallbacks[3]},
                    {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    // "MS Sans Serif" and anything else.
    return Then({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("MS Sans Serif")},
                CjkFallbacks);
}

QFont OwnFont(const QString& layoutFamily, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(FamiliesFor(layoutFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    // "Arial Black" is a weight as much as a family.
    font.setWeight(layoutFamily == QLatin1String("Arial Black") ? QFont::Black
                   : bold                                      ? QFont::Bold
                                                               : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

QFont WindowFont(const LanguageFont& language, const QFont& current)
{
    QFont font = current;
    font.setFamilies(FamiliesFor(language.family));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(language.pointSize);
    // A negative code counts as above 15.
    if (static_cast<unsigned>(language.style) <= 15u) {
        font.setWeight((language.style & 1) ? QFont::Bold : QFont::Normal);
        font.setItalic((language.style & 2) != 0);
        font.setUnderline((language.style & 4) != 0);
        font.setStrikeOut((language.style & 8) != 0);
    }
    return font;
}

}  // namespace ct::app
