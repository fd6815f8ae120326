#include "app/platform.h"
#include "app/unitMain.h"
#include "app/unitOpciones.h"
#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "output/composite.h"
#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// The three windows, created in the order and with the owners of the program's start-up.
struct Windows {
    TFormMain main;
    TPrintImage print{&main};
    TformOpciones opciones{&main};
    Windows() { main.setDialogs(&print, &opciones); }
    QList<QObject*> all() { return {&main, &print, &opciones}; }
};

// The catalogue's entries: window ("main", "print", "settings", or none), source, English.
const char* const kEntries[][3] = {
    {"main", "  Ojo derecho/izquierdo  ", "  Eye right/left"},
    {"main", "  Tamaño del centro     ", "  Center size"},
    {"settings", " Dibujar líneas cada...  ", " Draw line each..."},
    {"", " Línea de referencia  ", "Guide line"},
    {"settings", " Plantilla de ángulos  ", "Angles guide"},
    {"print", " Posición ", " Position"},
    {"main", " Referencia  ", " Reference"},
    {"settings", " Sector  ", " Sector"},
    {"print", " Tamaño ", " Size"},
    {"settings", "10 grados", "10 degrees"},
    {"settings", "5 grados", "5 degrees"},
    {"main", "Abrir imagen", "Open image"},
    {"main", "Abrir imagen (Ctrl+O)", "Open image (Ctrl+O)"},
    {"settings", "Aceptar", "Accept"},
    {"print", "Ajustar a\nla página", "Ajust topage"},
    {"main", "Ajustes", "Settings"},
    {"print", "Alto:", "Height:"},
    {"print", "Ancho:", "Width:"},
    {"main", "Angulo final", "End angle"},
    {"main", "Angulo inicial", "Init angle"},
    {"print", "Archivo PDF", "PDF file"},
    {"print", "Arriba:", "Top:"},
    {"settings", "Cancelar", "Cancel"},
    {"print", "Cancelar", "Cancel"},
    {"print", "Centrar", "Center"},
    {"settings", "Color de la linea", "Line color"},
    {"settings", "Color de las lineas", "Lines color"},
    {"settings", "Color de los números", "Numbers color"},
    {"print", "Copias:", "Copies:"},
    {"", "Delta: ", "Delta:"},
    {"settings", "Fina", "Thin"},
    {"settings", "Grosor", "Thickness"},
    {"settings", "Gruesa", "Wide"},
    {"main", "Guardar imagen", "Save image"},
    {"main", "Guardar imagen (Ctrl+S)", "Save image (Ctrl+S)"},
    {"print", "Impresora:", "Printer:"},
    {"main", "Imprimir", "Print"},
    {"main", "Imprimir (Ctrl+P)", "Print (Ctrl+P)"},
    {"print", "Imprimir", "Print"},
    {"main", "Inclinación", "Inclination"},
    {"print", "Izquierda:", "Left:"},
    {"settings", "Mediana", "Normal"},
    {"main", "Mostrar línea guía", "Show guide line"},
    {"main", "Mostrar sector", "Show sector"},
    {"main", "O.D.", "O.D."},
    {"main", "O.I.", "O.S."},
    {"", "OD", "OD"},
    {"", "OI", "OS"},
    {"settings", "Opciones", "Settings"},
    {"main", "Pegar imagen", "Paste image"},
    {"main", "Pegar imagen (Ctrl+V)", "Paste image (Ctrl+V)"},
    {"main", "Pelvanor v2.0", "Pelvanor v2.0"},
    {"print", "Permitir distorsión", "Permit distortion"},
    {"print", "Propiedades", "Properties"},
    {"settings", "Transparencia", "Transparency"},
    {"main", "grados", "degrees"},
    {"",
     "Todo |*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.dcm|Archivos JPG|*.jpg|Archivos JPEG|*.jpeg|Archivos PNG|*.png|"
     "Archivos BITMAP|*.bmp|Archivos TIF|*.tif|DICOM|*.dcm",
     "All |*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.dcm|JPG files|*.jpg|JPEG files|*.jpeg|PNG files|*.png|"
     "BITMAP files|*.bmp|TIF files|*.tif|DICOM|*.dcm"},
    {"", "El archivo DICOM tiene %1 imágenes; se muestra la primera.",
     "The DICOM file holds %1 images; the first is shown."},
};

// Texts of the windows that read the same in both languages and have no entry: blank titles,
// numbers, units and the settings dialog's guide line group.
bool sameInBothLanguages(const QString& text) {
    static const QStringList fixed{" Línea guía", "  %  ", "mm.", "%", "Pelvanor v1.1"};
    static const QRegularExpression blanksAndDigits(QStringLiteral("^[ 0-9]*$"));
    return fixed.contains(text) || blanksAndDigits.match(text).hasMatch();
}

QString textOf(QObject* window, const QString& name, const char* property = "text") {
    QObject* object = window->objectName() == name ? window : window->findChild<QObject*>(name);
    return object ? object->property(property).toString() : QStringLiteral("<no %1>").arg(name);
}

// Why a control's caption does not show whole, or nothing. A label must hold its text, stay inside
// its parent and have no control begin on its line before its text ends.
QString captionProblem(const QWidget* w) {
    const QFontMetrics fm = w->fontMetrics();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return QString();
        const QRect r = label->geometry();
        if (fm.horizontalAdvance(label->text()) > label->contentsRect().width() ||
            !label->parentWidget()->rect().contains(r))
            return QStringLiteral("is cut");
        for (const QWidget* other :
             label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect o = other->geometry();
            if (other->isVisibleTo(label->window()) && o.left() > r.left() && o.left() <= r.right() &&
                o.top() <= r.bottom() && o.bottom() >= r.top())
                return QStringLiteral("runs under ") + other->objectName();
        }
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w);
               button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto contents = qobject_cast<const QPushButton*>(w)    ? QStyle::SE_PushButtonContents
                              : qobject_cast<const QRadioButton*>(w) ? QStyle::SE_RadioButtonContents
                                                                     : QStyle::SE_CheckBoxContents;
        const int room = button->style()->subElementRect(contents, &option, button).width();
        const bool icon = contents == QStyle::SE_PushButtonContents && !button->icon().isNull();
        if (fm.size(Qt::TextShowMnemonic, button->text()).width() + icon * (button->iconSize().width() + 4) >
            room)
            return QStringLiteral("is cut");
    }
    return QString();
}

QSpinBox* spin(QObject* window, const QString& name) {
    return window->findChild<QSpinBox*>(name);
}

} // namespace

class TestTranslate : public QObject {
    Q_OBJECT

    std::unique_ptr<Windows> shared; // created in Spanish

    void setLanguageFromLang(const QByteArray& lang) {
        qputenv("LANG", lang);
        i18n::SetLanguage(QString());
    }

    // Shows the message box the program shows for a failure and reads its title and button.
    static QPair<QString, QString> messageBox(QWidget* parent) {
        QPair<QString, QString> seen;
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = {box->windowTitle(), box->button(QMessageBox::Ok)->text()};
            box->accept();
        });
        qtMessageSink().message(parent, QStringLiteral("Error al abrir la imagen"));
        return seen;
    }

private slots:
    void initTestCase() {
        i18n::initCatalogue(QStringLiteral(PELVANOR_BIN_DIR));
        i18n::SetLanguage(QStringLiteral("es"));
        shared = std::make_unique<Windows>();
    }
    void cleanupTestCase() { shared.reset(); }
    void init() { i18n::SetLanguage(QStringLiteral("es")); }

    // Catches a caption changed in a layout without its entry, and an entry mistyped.
    void catalogueMatchesWindows_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("english");
        for (const auto& row : kEntries)
            QTest::addRow("%s %s", row[0], row[1])
                << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }
    void catalogueMatchesWindows() {
        QFETCH(QString, window);
        QFETCH(QString, source);
        QFETCH(QString, english);
        const QMap<QString, QObject*> windows{{"main", &shared->main}, {"settings", &shared->opciones}};
        if (windows.contains(window)) {
            QStringList texts;
            for (const i18n::RememberedText& t : i18n::rememberedTexts(windows.value(window)))
                texts << t.text;
            QVERIFY2(texts.contains(source), qPrintable(window + " shows no \"" + source + '"'));
        }
        i18n::SetLanguage(QStringLiteral("en"));
        QVERIFY(i18n::hasEntry(source));
        QCOMPARE(i18n::lookup(source), english);
    }

    // Every text the three windows show has its entry, or reads the same in both languages.
    void everyWindowTextHasAnEntry() {
        i18n::SetLanguage(QStringLiteral("en"));
        QStringList missing;
        for (QObject* window : shared->all())
            for (const i18n::RememberedText& t : i18n::rememberedTexts(window))
                if (!i18n::hasEntry(t.text) && !sameInBothLanguages(t.text) &&
                    !t.objectName.startsWith(QLatin1String("cbImpresoras")))
                    missing << window->objectName() + '.' + t.objectName + '.' + t.property + " \"" + t.text +
                                   '"';
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join('\n')));
    }

    void startUpLanguage_data() {
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<QStringList>("expected"); // open button, settings title, print title, list item
        QTest::newRow("en_GB") << QByteArray("en_GB.UTF-8")
                               << QStringList{"Open image", "Settings", "Print", "Thin"};
        QTest::newRow("en_US") << QByteArray("en_US")
                               << QStringList{"Open image", "Settings", "Print", "Thin"};
        QTest::newRow("fr_FR") << QByteArray("fr_FR.UTF-8")
                               << QStringList{"Abrir imagen", "Opciones", "Imprimir", "Fina"};
    }
    void startUpLanguage() {
        QFETCH(QByteArray, lang);
        QFETCH(QStringList, expected);
        const QByteArray saved = qgetenv("LANG");
        setLanguageFromLang(lang);
        Windows w;
        qputenv("LANG", saved);
        QCOMPARE(
            (QStringList{textOf(&w.main, "btnImagenOpen"), w.opciones.windowTitle(), w.print.windowTitle(),
                         w.opciones.findChild<QComboBox*>("RefWidth")->currentText()}),
            expected);
        QCOMPARE(w.opciones.findChild<QComboBox*>("SectorWidth")->currentIndex(), 0);
        QCOMPARE(w.main.windowTitle(), QStringLiteral("Pelvanor v2.0"));
    }

    // The flags switch all three windows; what the user set and what the program wrote stays.
    void flagsSwitchEveryWindowAndKeepValues() {
        i18n::SetLanguage(QStringLiteral("en"));
        Windows w;
        spin(&w.main, "SectorIniGrados")->setValue(10);
        spin(&w.main, "SectorFinGrados")->setValue(100);
        spin(&w.opciones, "RefTrans")->setValue(60);
        for (const char* list : {"RefWidth", "SectorWidth"})
            w.opciones.findChild<QComboBox*>(list)->setCurrentIndex(2);
        w.main.findChild<QRadioButton*>("rbOI")->setChecked(true);
        w.main.findChild<QLineEdit*>("Referencia")->setText(QStringLiteral("Ajustes"));
        for (const char* flag : {"flag_es", "flag_gb"})
            QCOMPARE(w.main.findChild<QWidget*>(flag)->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(w.main.findChild<QWidget*>("flag_es"), Qt::LeftButton);
        QCOMPARE(i18n::currentLanguage(), QStringLiteral("es"));
        for (QObject* window : w.all()) {
            QCOMPARE(i18n::windowLanguage(window), QStringLiteral("es"));
            for (const i18n::RememberedText& t : i18n::rememberedTexts(window))
                if (t.property != QLatin1String("items") && !sameInBothLanguages(t.text))
                    QCOMPARE(textOf(window, t.objectName, qPrintable(t.property)), t.text);
        }
        for (const char* list : {"RefWidth", "SectorWidth"})
            QCOMPARE(w.opciones.findChild<QComboBox*>(list)->currentText(), QStringLiteral("Gruesa"));

        QTest::mouseClick(w.main.findChild<QWidget*>("flag_gb"), Qt::LeftButton);
        QCOMPARE(textOf(&w.main, "btnImagenOpen"), QStringLiteral("Open image"));
        QCOMPARE(textOf(&w.opciones, "GroupBox3", "title"), QStringLiteral(" Línea guía"));
        if (w.print.findChild<QObject*>("BitBtn1"))
            QCOMPARE(textOf(&w.print, "BitBtn1"), QStringLiteral("Ajust topage"));
        for (const char* list : {"RefWidth", "SectorWidth"}) {
            const auto* box = w.opciones.findChild<QComboBox*>(list);
            QCOMPARE(box->currentIndex(), 2);
            QCOMPARE(box->currentText(), QStringLiteral("Wide"));
        }
        QCOMPARE(textOf(&w.main, "SectorGrados"), QStringLiteral("90"));
        QCOMPARE(textOf(&w.main, "rbOI"), QStringLiteral("O.S."));
        QVERIFY(w.main.findChild<QRadioButton*>("rbOI")->isChecked());
        QCOMPARE(textOf(&w.main, "Referencia"), QStringLiteral("Ajustes"));
        QCOMPARE(spin(&w.opciones, "RefTrans")->value(), 60);
        QCOMPARE(spin(&w.main, "SectorFinGrados")->value(), 100);
        const CompositeInputs composite = w.main.compositeInputs();
        QVERIFY(composite.leftEye);
        QCOMPARE(composite.translate(QStringLiteral("OI")), QStringLiteral("OS"));
    }

    // Every caption of the three windows shows whole in both languages, the last Spanish again.
    void captionsShowWhole_data() {
        QTest::addColumn<QString>("flag");
        QTest::newRow("English") << "flag_gb";
        QTest::newRow("Spanish") << "flag_es";
    }
    void captionsShowWhole() {
        QFETCH(QString, flag);
        QTest::mouseClick(shared->main.findChild<QWidget*>(flag), Qt::LeftButton);
        for (QObject* window : shared->all())
            for (const QWidget* w : window->findChildren<QWidget*>()) {
                const QString problem = w->isVisibleTo(w->window()) ? captionProblem(w) : QString();
                QVERIFY2(problem.isEmpty(), qPrintable(w->objectName() + ' ' + problem));
            }
    }

    // Controls the program's windows do not have: an editable list shows its selected line after
    // a switch, a two-line caption finds its one-line entry, a list the program has refilled
    // since its creation keeps what the program put there.
    void walkerOnOtherControls() {
        QDialog dialog;
        auto* fit = new QPushButton(QStringLiteral("Ajustar a\r\nla página"), &dialog);
        auto* editable = new QComboBox(&dialog);
        editable->setEditable(true);
        editable->addItems({"Fina", "Mediana", "Gruesa"});
        auto* printers = new QComboBox(&dialog);
        printers->addItems({"PDF", "Archivo PDF"});
        i18n::TranslateComponent(&dialog);
        editable->setCurrentIndex(1);
        printers->clear();
        printers->addItems({"Oficina", "PDF"});

        i18n::SetLanguage(QStringLiteral("en_GB"));
        i18n::RetranslateComponent(&dialog);
        QCOMPARE(fit->text(), QStringLiteral("Ajust topage"));
        QCOMPARE(editable->currentIndex(), 1);
        QCOMPARE(editable->currentText(), QStringLiteral("Normal"));
        QCOMPARE(editable->itemText(0), QStringLiteral("Thin"));
        QCOMPARE((QStringList{printers->itemText(0), printers->itemText(1)}),
                 (QStringList{"Oficina", "PDF"}));

        i18n::SetLanguage(QStringLiteral("en")); // another code for the same catalogue
        i18n::RetranslateComponent(&dialog);
        QCOMPARE(editable->currentText(), QStringLiteral("Normal"));
        i18n::SetLanguage(QStringLiteral("es"));
        i18n::RetranslateComponent(&dialog);
        QCOMPARE(fit->text(), QStringLiteral("Ajustar a\r\nla página"));
        QCOMPARE(editable->currentText(), QStringLiteral("Mediana"));
    }

    // Message boxes keep the application title; Qt's own button and the file dialogs' types
    // follow the flags.
    void dialogsFollowTheFlags_data() {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("firstTypes");
        QTest::newRow("gb") << "flag_gb"
                            << "OK"
                            << "All (*.jpg *.jpeg *.png *.bmp *.tif *.dcm);;JPG files (*.jpg)";
        QTest::newRow("es") << "flag_es"
                            << "Aceptar"
                            << "Todo (*.jpg *.jpeg *.png *.bmp *.tif *.dcm);;Archivos JPG (*.jpg)";
        QTest::newRow("gb again") << "flag_gb"
                                  << "OK"
                                  << "All (*.jpg *.jpeg *.png *.bmp *.tif *.dcm);;JPG files (*.jpg)";
    }
    void dialogsFollowTheFlags() {
        QFETCH(QString, flag);
        QFETCH(QString, button);
        QFETCH(QString, firstTypes);
        ScriptedChooser chooser;
        shared->main.setFileChooser(&chooser);
        QTest::mouseClick(shared->main.findChild<QWidget*>(flag), Qt::LeftButton);
        const auto seen = messageBox(&shared->main);
        QCOMPARE(seen.first, QStringLiteral("Pelvanor v1.1"));
        QCOMPARE(seen.second, button);
        QTest::mouseClick(shared->main.findChild<QPushButton*>("btnImagenOpen"), Qt::LeftButton);
        shared->main.setFileChooser(&qtFileChooser());
        QVERIFY2(chooser.lastFilter.startsWith(firstTypes), qPrintable(chooser.lastFilter));
    }
};

QTEST_MAIN(TestTranslate)
#include "tst_translate.moc"
