#include "i18n/catalogue.h"

#include <QByteArray>
#include <QLocale>

#include <clocale>
#include <cstdlib>
#include <libintl.h>

extern "C" int _nl_msg_cat_cntr; // glibc: bumping it drops gettext's cached translations

namespace i18n {

namespace {
const char* const kDomain = "default";
QString g_language;
bool g_bound = false;
} // namespace

void initCatalogue(const QString& catalogueRoot) {
    const QByteArray dir = (catalogueRoot + QStringLiteral("/locale")).toLocal8Bit();
    bindtextdomain(kDomain, dir.constData());
    bind_textdomain_codeset(kDomain, "UTF-8");
    g_bound = true;
    SetLanguage(g_language.isEmpty() ? QString() : g_language);
}

QString languageFromEnvironment() {
    QString code = QString::fromLocal8Bit(qgetenv("LANG"));
    if (code.isEmpty())
        code = QLocale::system().name(); // language_COUNTRY
    const int dot = code.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        code.truncate(dot);
    return code;
}

void SetLanguage(const QString& code) {
    g_language = code.isEmpty() ? languageFromEnvironment() : code;
    // "C" and "POSIX" name no language; an empty LANGUAGE would let glibc fall back to LC_MESSAGES.
    const QByteArray lang = g_language.isEmpty() ? QByteArray("C") : g_language.toLocal8Bit();
    setenv("LANGUAGE", lang.constData(), 1);
    setlocale(LC_MESSAGES, "C.UTF-8"); // glibc ignores LANGUAGE under the "C" locale
    ++_nl_msg_cat_cntr;
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
    QString result = QString::fromUtf8(translated);
    result.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return result;
}

} // namespace i18n
