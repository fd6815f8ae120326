#pragma once

#include <QString>

// GNU gettext catalogue of the user interface, domain "default", looked up by the Spanish text.
namespace i18n {

// Binds the domain to "locale" below catalogueRoot (the program's folder). Call after
// QApplication exists: its constructor resets the process locale.
void initCatalogue(const QString& catalogueRoot);
// Makes code ("es", "en", "en_GB") the current language; an empty code chooses from LANG.
void SetLanguage(const QString& code);
QString currentLanguage();
// The language chosen from the environment: LANG cut at its first ".", or the system locale.
QString languageFromEnvironment();
// The translation in the current language, or the text itself when there is none. Carriage
// returns are removed before the look-up and put back before each line feed of the result.
QString lookup(const QString& text);

} // namespace i18n
