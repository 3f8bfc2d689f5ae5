// The fonts of the window. The layout names the fonts of the machine it was
// drawn on ("MS Sans Serif", "Arial Black", "Arial Narrow", "宋体", "細明體");
// each is mapped here to an installed look-alike chosen explicitly, never left
// to the machine's font substitution, so that the window looks the same in
// every locale. Every mapping ends in a CJK font, so Chinese text renders
// whatever the language.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace ct::app {

struct LanguageFont;

// The installed families that stand in for a font the layout names, best
// first. Unknown names get the sans-serif list.
QStringList FamiliesFor(const QString& layoutFamily);

// A control's own font: the layout's family at a pixel height. Every property
// is fixed, so that a change of the window font never reaches it.
QFont OwnFont(const QString& layoutFamily, int pixelSize, bool bold = false);

// The window font of a language: family, point size, then the style bits
// (1 bold, 2 italic, 4 underline, 8 strike-out); a style code above 15 keeps
// the style of `current`. The colour is the caller's.
QFont WindowFont(const LanguageFont& font, const QFont& current);

}  // namespace ct::app
