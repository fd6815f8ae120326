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
            {"en_US", "OI", "OS"},
            {"es", "Abrir imagen", "Abrir imagen"}, // no catalogue
            {"fr_FR", "Abrir imagen", "Abrir imagen"},
            {"C", "Abrir imagen", "Abrir imagen"},
            {"eng", "Abrir imagen", "Open image"},               // first two letters
            {"en", "  Tamaño del centro     ", "  Center size"}, // blanks are part of the text
            {"en", "Tamaño del centro", "Tamaño del centro"},
            {"en", "Delta: ", "Delta:"},
            {"en", "Pelvanor v1.1", "Pelvanor v1.1"},         // no entry
            {"en", " Línea guía", " Línea guía"},             // no entry
            {"en", "Ajustar a\nla página", "Ajust topage"},   // line feed inside the entry
            {"en", "Ajustar a\r\nla página", "Ajust topage"}, // carriage return left out of the look-up
            {"en", "Archivo PDF", "PDF file"},
            {"en",
             "Todo |*.jpg;*.jpeg;*.png;*.bmp;*.tif|Archivos JPG|*.jpg|Archivos JPEG|*.jpeg|Archivos "
             "PNG|*.png|Archivos BITMAP|*.bmp|Archivos TIF|*.tif",
             "All |*.jpg;*.jpeg;*.png;*.bmp;*.tif|JPG files|*.jpg|JPEG files|*.jpeg|PNG files|*.png|BITMAP "
             "files|*.bmp|TIF files|*.tif"},
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

    // An entry that translates a text to itself is still an entry; asking about another
    // language leaves the current one in force.
    void entriesOfAnotherLanguage() {
        i18n::SetLanguage(QStringLiteral("es"));
        const QStringList texts{QStringLiteral("O.D."), QStringLiteral("25"), QStringLiteral("Fina")};
        QCOMPARE(i18n::hasEntries(texts, QStringLiteral("en")), (QList<bool>{true, false, true}));
        QCOMPARE(i18n::hasEntries(texts, QStringLiteral("es")), (QList<bool>{false, false, false}));
        QCOMPARE(i18n::lookup(QStringLiteral("Fina")), QStringLiteral("Fina"));
    }

    void initialLanguage_data() {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("systemLocale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("encoding dropped") << "en_GB.UTF-8"
                                          << "es_ES"
                                          << "en_GB";
        QTest::newRow("LANG wins") << "fr_FR.UTF-8"
                                   << "en_US"
                                   << "fr_FR";
        QTest::newRow("cut at the first dot") << "de_DE.ISO-8859-1.x"
                                              << ""
                                              << "de_DE";
        QTest::newRow("empty LANG: system") << ""
                                            << "en_GB"
                                            << "en_GB";
        QTest::newRow("Norwegian") << ""
                                   << "no_NO"
                                   << "nb_NO";
        QTest::newRow("no system codes") << ""
                                         << "C"
                                         << "C";
    }
    void initialLanguage() {
        QFETCH(QString, lang);
        QFETCH(QString, systemLocale);
        QFETCH(QString, expected);
        QCOMPARE(i18n::languageCode(lang, systemLocale), expected);
    }

    void languageFromEnvironmentUsesLang() {
        const QByteArray saved = qgetenv("LANG");
        qputenv("LANG", "en_GB.UTF-8");
        i18n::SetLanguage(QString());
        QCOMPARE(i18n::currentLanguage(), QStringLiteral("en_GB"));
        QCOMPARE(i18n::lookup(QStringLiteral("Imprimir")), QStringLiteral("Print"));
        qputenv("LANG", saved);
    }

    // Qt's own texts follow: Spanish while no catalogue is found, Qt's English otherwise.
    void toolkitTextsFollow_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("es") << "es"
                            << "Cancelar";
        QTest::newRow("fr_FR") << "fr_FR"
                               << "Cancelar";
        QTest::newRow("en") << "en"
                            << "Cancel";
        QTest::newRow("en_GB") << "en_GB"
                               << "Cancel";
    }
    void toolkitTextsFollow() {
        QFETCH(QString, language);
        QFETCH(QString, cancel);
        i18n::SetLanguage(language);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
