#include "app/Fonts.h"

#include "app/Catalogue.h"

namespace ct::app {

namespace {

const QString CjkFallback = QStringLiteral("WenQuanYi Micro Hei");
const QString CjkFallback2 = QStringLiteral("Droid Sans Fallback");

}  // namespace

QStringList FamiliesFor(const QString& layoutFamily)
{
    if (layoutFamily == QLatin1String("Arial Narrow"))
        return {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Nimbus Sans Narrow"),
                QStringLiteral("DejaVu Sans Condensed"), CjkFallback, CjkFallback2};
    if (layoutFamily == QLatin1String("Arial Black"))
        return {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), CjkFallback,
                CjkFallback2};
    if (layoutFamily == QStringLiteral("宋体") || layoutFamily == QStringLiteral("細明體"))
        return {CjkFallback, CjkFallback2, QStringLiteral("Liberation Sans"),
                QStringLiteral("DejaVu Sans")};
    // "MS Sans Serif" and anything else.
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), CjkFallback,
            CjkFallback2};
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
