#pragma once

#include <QLocale>

// The program speaks English, the language its texts are written in, and any language a
// translation ships for inside it (French).
namespace Translations {

// Installs the program's translation for locale's language, and Qt's own where the system has
// it. Returns whether the program's was found; for English nothing is installed.
bool install(const QLocale &locale);

} // namespace Translations
