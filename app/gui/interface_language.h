#pragma once
// The interface language of this run, as every window sees it: the current language
// file, the reading direction, and the font families that draw its script.

#include "app/language.h"

#include <QStringList>

namespace app {

// The application font's families for `id`, most wanted first: Noto Sans for Latin,
// Greek and Cyrillic, then the Noto face of the language's own script (the Japanese,
// Korean or Chinese forms of shared CJK characters; Arabic; Hebrew), then the others
// as fallbacks for file names in any script.
QStringList interfaceFontFamilies(LanguageId id);

// Makes `id` the current language, mirrors the layout for Arabic and Hebrew, and sets
// the application font's families. Call before any window is built.
void applyInterfaceLanguage(LanguageId id);

}  // namespace app
