#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// GNU gettext catalogue of the user interface, domain "default", looked up by the Spanish text.
namespace i18n {

// Binds the domain to "locale" below catalogueRoot (the program's folder). Call after
// QApplication exists: its constructor resets the process locale.
void initCatalogue(const QString& catalogueRoot);
// Makes code ("es", "en", "en_GB") the current language; an empty code chooses from the
// environment. The toolkit's own texts follow (see toolkit_translation.h).
void SetLanguage(const QString& code);
QString currentLanguage();

// The initial language: LANG cut at its first "."; when LANG is empty, the system locale's name
// ("language_COUNTRY"), the language "no" becoming "nb".
QString languageCode(const QString& langVariable, const QString& systemLocaleName);
// languageCode() of this process's LANG and Qt's system locale.
QString languageFromEnvironment();
// The catalogues searched for a language, in order: the whole code, then its first two letters.
QStringList catalogueSearch(const QString& code);

// The translation in the current language, or the text itself when there is none. Carriage
// returns are left out of the look-up, so a caption laid out with "\r\n" finds its entry.
QString lookup(const QString& text);
// Whether the current language's catalogue holds an entry for the text, even one that translates
// it to itself.
bool hasEntry(const QString& text);
// hasEntry() for each text, in the catalogue of the language given.
QList<bool> hasEntries(const QStringList& texts, const QString& language);
// Whether a catalogue was found for the current language.
bool catalogueFound();

} // namespace i18n
