#include "i18n/catalogue.h"

#include <QtTest>

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR)); }
    void cleanupTestCase() { i18n::SetLanguage(QStringLiteral("es")); }

    void lookUpByLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("en") << "en"
                            << "Abrir imagen"
                            << "Open image";
        QTest::newRow("en_GB falls back to en") << "en_GB"
                                                << "Abrir imagen"
                                                << "Open image";
        QTest::newRow("es has no catalogue") << "es"
                                             << "Abrir imagen"
                                             << "Abrir imagen";
        QTest::newRow("fr_FR has none") << "fr_FR"
                                        << "Abrir imagen"
                                        << "Abrir imagen";
        QTest::newRow("blanks are part of the text") << "en"
                                                     << "  Tamaño del centro     "
                                                     << "  Center size";
        QTest::newRow("blanks must match") << "en"
                                           << "Tamaño del centro"
                                           << "Tamaño del centro";
        QTest::newRow("eye label left") << "en"
                                        << "OI"
                                        << "OS";
        QTest::newRow("delta") << "en"
                               << "Delta: "
                               << "Delta:";
        QTest::newRow("unknown text") << "en"
                                      << "Pelvanor v1.1"
                                      << "Pelvanor v1.1";
        QTest::newRow("two lines") << "en"
                                   << "Ajustar a\r\nla página"
                                   << "Ajust topage";
    }
    void lookUpByLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        i18n::SetLanguage(language);
        QCOMPARE(i18n::lookup(source), expected);
    }

    void switchingBackAndForthIsNotCached() {
        for (int i = 0; i < 3; ++i) {
            i18n::SetLanguage(QStringLiteral("en"));
            QCOMPARE(i18n::lookup(QStringLiteral("Guardar imagen")), QStringLiteral("Save image"));
            i18n::SetLanguage(QStringLiteral("es"));
            QCOMPARE(i18n::lookup(QStringLiteral("Guardar imagen")), QStringLiteral("Guardar imagen"));
        }
    }

    void languageFromEnvironmentDropsEncoding() {
        const QByteArray saved = qgetenv("LANG");
        qputenv("LANG", "en_GB.UTF-8");
        QCOMPARE(i18n::languageFromEnvironment(), QStringLiteral("en_GB"));
        i18n::SetLanguage(QString());
        QCOMPARE(i18n::lookup(QStringLiteral("Imprimir")), QStringLiteral("Print"));
        qputenv("LANG", saved);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
