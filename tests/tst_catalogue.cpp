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
        const char* rows[][3] = {
            {"en", "Abrir imagen", "Open image"},
            {"en_GB", "Abrir imagen", "Open image"}, // falls back to en
            {"es", "Abrir imagen", "Abrir imagen"},  // no catalogue
            {"fr_FR", "Abrir imagen", "Abrir imagen"},
            {"en", "  Tamaño del centro     ", "  Center size"}, // blanks are part of the text
            {"en", "Tamaño del centro", "Tamaño del centro"},
            {"en", "OI", "OS"},
            {"en", "Delta: ", "Delta:"},
            {"en", "Pelvanor v1.1", "Pelvanor v1.1"},         // no entry
            {"en", "Ajustar a\r\nla página", "Ajust topage"}, // carriage return left out of the look-up
        };
        for (const auto& row : rows)
            QTest::addRow("%s %s", row[0], row[1])
                << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
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
