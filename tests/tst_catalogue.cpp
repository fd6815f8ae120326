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
            {"C", "Abrir imagen", "Abrir imagen"},
            {"eng", "Abrir imagen", "Open image"},               // first two letters
            {"en", "  Tamaño del centro     ", "  Center size"}, // blanks are part of the text
            {"en", "Tamaño del centro", "Tamaño del centro"},
            {"en", "Pelvanor v1.1", "Pelvanor v1.1"},         // no entry
            {"en", " Línea guía", " Línea guía"},             // no entry
            {"en", "Ajustar a\nla página", "Ajust topage"},   // line feed inside the entry
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
        QCOMPARE(i18n::catalogueFound(), language.startsWith(QLatin1String("en")));
    }

    void switchingBackAndForthIsNotCached() {
        for (int i = 0; i < 3; ++i) {
            i18n::SetLanguage(QStringLiteral("en"));
            QCOMPARE(i18n::lookup(QStringLiteral("Guardar imagen")), QStringLiteral("Save image"));
            i18n::SetLanguage(QStringLiteral("es"));
            QCOMPARE(i18n::lookup(QStringLiteral("Guardar imagen")), QStringLiteral("Guardar imagen"));
        }
    }

    void initialLanguage_data() {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("systemLocale");
        QTest::addColumn<QString>("expected");
        const char* rows[][4] = {
            {"encoding dropped", "en_GB.UTF-8", "es_ES", "en_GB"},
            {"LANG wins", "fr_FR.UTF-8", "en_US", "fr_FR"},
            {"cut at the first dot", "de_DE.ISO-8859-1.x", "", "de_DE"},
            {"empty LANG: system", "", "en_GB", "en_GB"},
            {"Norwegian", "", "no_NO", "nb_NO"},
            {"no system codes", "", "C", "C"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
    }
    void initialLanguage() {
        QFETCH(QString, lang);
        QFETCH(QString, systemLocale);
        QFETCH(QString, expected);
        QCOMPARE(i18n::languageCode(lang, systemLocale), expected);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
