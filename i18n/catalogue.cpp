#include "i18n/catalogue.h"

#include "i18n/toolkit_translation.h"

#include <QByteArray>
#include <QLocale>
#include <QStringList>

#include <clocale>
#include <cstdlib>
#include <libintl.h>

extern "C" int _nl_msg_cat_cntr; // glibc: bumping it drops gettext's cached translations

namespace i18n {

namespace {
const char* const kDomain = "default";
QString g_language;
bool g_bound = false;

// Points glibc's message look-up at the catalogues of the code.
void selectCatalogues(const QString& code) {
    // "C" names no language; an empty LANGUAGE would let glibc fall back to LC_MESSAGES.
    const QStringList search = catalogueSearch(code);
    const QByteArray list = search.isEmpty() ? QByteArray("C") : search.join(QLatin1Char(':')).toLocal8Bit();
    setenv("LANGUAGE", list.constData(), 1);
    setlocale(LC_MESSAGES, "C.UTF-8"); // glibc ignores LANGUAGE under the "C" locale
    ++_nl_msg_cat_cntr;
}

bool entryInSelected(const QString& text) {
    if (!g_bound)
        return false;
    QString key = text;
    key.remove(QLatin1Char('\r'));
    const QByteArray utf8 = key.toUtf8();
    return dgettext(kDomain, utf8.constData()) != utf8.constData();
}
} // namespace

void initCatalogue(const QString& catalogueRoot) {
    const QByteArray dir = (catalogueRoot + QStringLiteral("/locale")).toLocal8Bit();
    bindtextdomain(kDomain, dir.constData());
    bind_textdomain_codeset(kDomain, "UTF-8");
    g_bound = true;
    SetLanguage(g_language);
}

QString languageCode(const QString& langVariable, const QString& systemLocaleName) {
    QString code = langVariable;
    if (code.isEmpty()) {
        code = systemLocaleName;
        if (code == QLatin1String("no") || code.startsWith(QLatin1String("no_")))
            code.replace(0, 2, QStringLiteral("nb"));
    }
    const int dot = code.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        code.truncate(dot);
    return code;
}

QString languageFromEnvironment() {
    return languageCode(QString::fromLocal8Bit(qgetenv("LANG")), QLocale::system().name());
}

QStringList catalogueSearch(const QString& code) {
    QStringList search;
    if (code.isEmpty())
        return search;
    search << code;
    if (code.size() > 2)
        search << code.left(2);
    return search;
}

void SetLanguage(const QString& code) {
    g_language = code.isEmpty() ? languageFromEnvironment() : code;
    selectCatalogues(g_language);
    installToolkitTranslation(catalogueFound() ? QString() : QStringLiteral("es"));
}

QString currentLanguage() {
    return g_language;
}

QString lookup(const QString& text) {
    if (!g_bound || text.isEmpty())
        return text;
    QString key = text;
    key.remove(QLatin1Char('\r'));
    const QByteArray utf8 = key.toUtf8();
    const char* translated = dgettext(kDomain, utf8.constData());
    if (translated == utf8.constData())
        return text;
    return QString::fromUtf8(translated);
}

bool hasEntry(const QString& text) {
    return !text.isEmpty() && entryInSelected(text);
}

QList<bool> hasEntries(const QStringList& texts, const QString& language) {
    const bool other = language != g_language;
    if (other)
        selectCatalogues(language);
    QList<bool> found;
    for (const QString& text : texts)
        found << hasEntry(text);
    if (other)
        selectCatalogues(g_language);
    return found;
}

bool catalogueFound() {
    // The header entry, looked up by the empty text, exists in every catalogue msgfmt writes.
    return g_bound && *dgettext(kDomain, "") != '\0';
}

} // namespace i18n
