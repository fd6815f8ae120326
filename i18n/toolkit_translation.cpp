#include "i18n/toolkit_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace i18n {

void installToolkitTranslation(const QString& language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // One translator for the whole run, owned by the application; reloaded on each switch.
    static QPointer<QTranslator> translator;
    static QString installed;
    if (!translator || translator->parent() != app) {
        translator = new QTranslator(app);
        installed.clear();
    }
    if (language == installed)
        return;
    QCoreApplication::removeTranslator(translator);
    installed.clear();
    if (!language.isEmpty() && translator->load(QStringLiteral("qtbase_") + language,
                                                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        installed = language;
    }
}

} // namespace i18n
