#pragma once

#include <QLocale>
#include <QString>

class QTranslator;

// The program's texts are written in Russian and looked up in a translation table: for a locale whose
// languages include one we ship (English), the table of that language is installed; any other locale keeps
// the Russian texts.
namespace Translations {

// Installs the table for `locale` into the application; false when it keeps the Russian texts. A second call
// replaces the table installed by the first.
bool install(const QLocale &locale);

// The language of the table installed now ("en"), empty for Russian.
QString installedLanguage();

} // namespace Translations
