#include "app/application.h"
#include "app/unitMain.h"
#include "app/unitOpciones.h"
#include "app/unitSpinField.h"
#include "imaging/fit.h"
#include "imaging/imaging.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

// An object whose handler fails, as a handler with an unexpected error would.
class FailingObject : public QObject {
public:
    QString text;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw std::runtime_error(text.toStdString());
        return QObject::event(e);
    }
};

// A window whose making fails with something that is no std::exception.
class FailingWindow : public QWidget {
public:
    explicit FailingWindow(QWidget* parent) : QWidget(parent) { throw 42; }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TformOpciones> opciones;
    ScriptedChooser chooser;
    RecordingSink sink;

    template <class T> T* child(const char* name) { return requireChild<T>(form.get(), name); }
    QLabel* screen() { return child<QLabel>("imgScreen"); }
    QLabel* overlay() { return child<QLabel>("imgLineas"); }
    QWidget* panel() { return child<QWidget>("pnlScreen"); }
    bool open(const QString& path) {
        chooser.nextOpen = path;
        form->btnImagenOpenClick();
        return form->waitUntilIdle() && sink.messages.isEmpty();
    }
    void dropFiles(const QStringList& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
        QVERIFY(form->waitUntilIdle());
    }
    // The photo, its source path and the display: what a failed load must leave alone.
    auto snapshot() {
        return std::make_tuple(form->photo().cacheKey(), form->sourcePath(), screen()->geometry(),
                               screen()->pixmap().cacheKey());
    }

private slots:
    void init() {
        form = std::make_unique<TFormMain>();
        opciones = std::make_unique<TformOpciones>(form.get());
        form->setDialogs(nullptr, opciones.get());
        form->setFileChooser(&chooser);
        form->setMessageSink(&sink);
        chooser = ScriptedChooser();
        sink = RecordingSink();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() {
        opciones.reset();
        form.reset();
    }

    void windowGeometryAndCaption() {
        QCOMPARE(form->windowTitle(), QStringLiteral("Pelvanor v2.0"));
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Pelvanor v1.1"));
        QCOMPARE(form->size(), QSize(892, 606));
        QCOMPARE(form->minimumSize(), QSize(892, 606));
        QCOMPARE(panel()->geometry(), QRect(0, 0, 729, 606));
        QCOMPARE(child<QWidget>("pnlTools")->geometry(), QRect(729, 0, 163, 606));

        // Growing the window widens the screen panel only; the picture and flags stay at the bottom.
        form->resize(1092, 806);
        QCOMPARE(panel()->size(), QSize(929, 806));
        QCOMPARE(child<QWidget>("pnlTools")->width(), 163);
        QCOMPARE(child<QWidget>("Image1")->geometry(), QRect(2, 660, 159, 144));
        QCOMPARE(child<QWidget>("flag_es")->geometry(), QRect(3, 792, 16, 11));
        QCOMPARE(child<QWidget>("flag_gb")->geometry(), QRect(40, 792, 16, 11));
    }

    void toolPanelMatchesLayout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        auto row = [](const char* n, const char* k, QRect g, const char* t) {
            QTest::newRow(n) << QString::fromLatin1(n) << QString::fromLatin1(k) << g << QString::fromUtf8(t);
        };
        row("btnImagenOpen", "QPushButton", QRect(11, 8, 141, 25), "Abrir imagen");
        row("btnImagenPaste", "QPushButton", QRect(11, 40, 141, 25), "Pegar imagen");
        row("GroupBox1", "QGroupBox", QRect(6, 72, 151, 49), "  Tamaño del centro     ");
        row("tbRadio", "QSlider", QRect(8, 16, 137, 25), "");
        row("GroupBox4", "QGroupBox", QRect(6, 128, 151, 49), "   ");
        row("GuiaMostrar", "QCheckBox", QRect(16, -2, 113, 17), "Mostrar línea guía");
        row("Label6", "QLabel", QRect(14, 24, -1, -1), "Inclinación");
        row("GuiaGrados", "QSpinBox", QRect(68, 20, 41, 22), "");
        row("Label2", "QLabel", QRect(108, 22, -1, -1), "grados");
        row("GroupBox5", "QGroupBox", QRect(6, 184, 152, 97), "         ");
        row("SectorMostrar", "QCheckBox", QRect(16, -2, 97, 17), "Mostrar sector");
        row("Label3", "QLabel", QRect(3, 24, -1, -1), "Angulo inicial");
        row("SectorIniGrados", "QSpinBox", QRect(68, 20, 41, 22), "");
        row("Label1", "QLabel", QRect(108, 22, -1, -1), "grados");
        row("Label4", "QLabel", QRect(10, 48, -1, -1), "Angulo final");
        row("SectorFinGrados", "QSpinBox", QRect(68, 44, 41, 22), "");
        row("Label5", "QLabel", QRect(108, 46, -1, -1), "grados");
        row("SectorGrados", "QLabel", QRect(20, 72, 41, 16), "25");
        row("Label8", "QLabel", QRect(64, 72, -1, -1), "grados");
        row("Button1", "QPushButton", QRect(11, 288, 141, 25), "Ajustes");
        row("GroupBox2", "QGroupBox", QRect(6, 323, 152, 49), "  Ojo derecho/izquierdo  ");
        row("rbOD", "QRadioButton", QRect(24, 24, 49, 17), "O.D.");
        row("rbOI", "QRadioButton", QRect(88, 24, 49, 17), "O.I.");
        row("GroupBox3", "QGroupBox", QRect(6, 377, 152, 49), " Referencia  ");
        row("Referencia", "QLineEdit", QRect(8, 16, 137, 21), "");
        row("btnImagenSave", "QPushButton", QRect(7, 434, 86, 25), "Guardar imagen");
        row("btnPrint", "QPushButton", QRect(100, 434, 57, 25), "Imprimir");
        row("Image1", "QLabel", QRect(2, 460, 159, 144), "");
        row("flag_es", "QLabel", QRect(3, 592, 16, 11), "");
        row("flag_gb", "QLabel", QRect(40, 592, 16, 11), "");
    }
    void toolPanelMatchesLayout() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QWidget* w = form->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QVERIFY2(w->inherits(kind.toLatin1()), w->metaObject()->className());
        if (geometry.width() < 0) // labels size themselves; their position is the layout's
            QCOMPARE(w->pos(), geometry.topLeft());
        else
            QCOMPARE(w->geometry(), geometry);
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(b->text(), text);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            QCOMPARE(g->title(), text);
        else if (auto* l = qobject_cast<QLabel*>(w); l && !text.isEmpty())
            QCOMPARE(l->text(), text);
    }

    void initialValuesAndRanges() {
        auto range = [this](const char* n) {
            auto* w = form->findChild<QWidget*>(QString::fromLatin1(n));
            if (auto* b = qobject_cast<SpinField*>(w))
                return QList<int>({b->minimum(), b->maximum(), b->value()});
            auto* t = qobject_cast<QSlider*>(w);
            return QList<int>({t->minimum(), t->maximum(), t->value()});
        };
        QCOMPARE(range("tbRadio"), QList<int>({2, 100, 10}));
        QCOMPARE(range("GuiaGrados"), QList<int>({0, 180, 15}));
        QCOMPARE(range("SectorIniGrados"), QList<int>({0, 360, 25}));
        QCOMPARE(range("SectorFinGrados"), QList<int>({0, 360, 50}));
        QVERIFY(!child<QCheckBox>("GuiaMostrar")->isChecked() &&
                !child<QCheckBox>("SectorMostrar")->isChecked());
        QVERIFY(child<QRadioButton>("rbOD")->isChecked() && !child<QRadioButton>("rbOI")->isChecked());
        QVERIFY(form->photo().isNull());
        QCOMPARE(overlay()->geometry(), QRect(44, 4, 605, 429));
    }

    void focusOrder() {
        const QStringList expected = {"btnImagenOpen", "btnImagenPaste", "btnImagenSave", "btnPrint",
                                      "tbRadio",       "rbOD",           "rbOI",          "Referencia",
                                      "Button1",       "GuiaGrados",     "GuiaMostrar",   "SectorIniGrados",
                                      "SectorMostrar", "SectorFinGrados"};
        QWidget* w = child<QWidget>("btnImagenOpen");
        QStringList seen;
        for (int i = 0; i < expected.size(); ++i) {
            seen << w->objectName();
            do
                w = w->nextInFocusChain();
            while (!expected.contains(w->objectName()) && w != child<QWidget>("btnImagenOpen"));
        }
        QCOMPARE(seen, expected);
    }

    void brandImagesAndPictures() {
        QCOMPARE(form->brandLogo().size(), QSize(489, 367));
        QCOMPARE(form->brandLettering().size(), QSize(1467, 254));
        QCOMPARE(qAlpha(form->brandLogo().pixel(0, 0)), 0); // real transparency around the drawing
        const QImage picture = child<QLabel>("Image1")->pixmap().toImage();
        QVERIFY(picture.width() == 159 || picture.height() == 144); // scaled to fit
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);                   // magenta shows through
        QWidget* tools = child<QWidget>("pnlTools");
        for (const char* flag : {"flag_es", "flag_gb"}) // drawn above the picture
            QCOMPARE(tools->childAt(child<QWidget>(flag)->geometry().center()), child<QWidget>(flag));
        // With no browser to open the maker's address, a click on the picture changes nothing.
        QTest::mouseClick(child<QWidget>("Image1"), Qt::LeftButton);
        QVERIFY(sink.messages.isEmpty() && sink.errors.isEmpty());
    }

    // Mouse events on the brand picture, each "<event> <button> <where>", and how often they open
    // the maker's address.
    void brandPictureClicks_data() {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("opened");
        const auto row = [](const char* name, const char* events, int opened) {
            QTest::newRow(name) << QString::fromLatin1(events).split(QLatin1Char(',')) << opened;
        };
        row("left click", "press left in,release left in", 1);
        row("right click", "press right in,release right in", 0);
        row("middle click", "press middle in,release middle in", 0);
        row("double click", "press left in,release left in,double left in,release left in", 1);
        row("two clicks", "press left in,release left in,press left in,release left in", 2);
        row("released elsewhere", "press left in,release left out", 0);
        row("right press, left release", "press right in,release left in", 0);
    }
    void brandPictureClicks() {
        QFETCH(QStringList, events);
        QFETCH(int, opened);
        QList<QUrl> addresses;
        form->setAddressOpener([&](const QUrl& url) { addresses << url; });
        QWidget* picture = child<QWidget>("Image1");
        for (const QString& e : events) {
            const QStringList w = e.split(QLatin1Char(' '));
            const QEvent::Type type = w[0] == "press"     ? QEvent::MouseButtonPress
                                      : w[0] == "release" ? QEvent::MouseButtonRelease
                                                          : QEvent::MouseButtonDblClick;
            const Qt::MouseButton button = w[1] == "left"    ? Qt::LeftButton
                                           : w[1] == "right" ? Qt::RightButton
                                                             : Qt::MiddleButton;
            const QPointF at = w[2] == "in" ? QPointF(80, 70) : QPointF(80, -40);
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
            QMouseEvent event(type, at, picture->mapToGlobal(at), button, held, Qt::NoModifier);
            QApplication::sendEvent(picture, &event);
        }
        QCOMPARE(addresses.size(), opened);
        for (const QUrl& url : addresses)
            QVERIFY(url.scheme().startsWith("http"));
    }

    void realMessageBoxIsPlainAndTitled() {
        form->setMessageSink(&qtMessageSink());
        QString title, text;
        int icon = -1, buttons = -1;
        QPoint boxCentre, screenCentre;
        onceModal(nullptr, [&] { // the box shows once the file has been tried in the background
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons().size();
            boxCentre = box->geometry().center();
            screenCentre = box->screen()->availableGeometry().center();
            box->accept();
        });
        form->move(300, 200); // away from the screen's centre, which the box takes all the same
        form->openPhotoFile(testData("not_an_image.jpg"));
        QCOMPARE(title, QStringLiteral("Pelvanor v1.1"));
        QCOMPARE(text, QStringLiteral("Error al abrir la imagen"));
        QCOMPARE(icon, int(QMessageBox::NoIcon));
        QCOMPARE(buttons, 1);
        QVERIFY2((boxCentre - screenCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("box centred at %1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
    }

    void openFitsPhotoAndKeepsPath() {
        QVERIFY(open(testData("portrait_600x800.jpg")));
        QCOMPARE(form->photo().size(), QSize(600, 800));
        QCOMPARE(form->sourcePath(), testData("portrait_600x800.jpg"));
        QCOMPARE(screen()->geometry(), QRect(137, 0, 454, 606));
        QCOMPARE(screen()->pixmap().size(), QSize(454, 606));
        QCOMPARE(overlay()->geometry(), screen()->geometry());
        QVERIFY(chooser.lastFilter.startsWith(
            "Todo (*.jpg *.jpeg *.png *.bmp *.tif *.dcm);;Archivos JPG (*.jpg)"));

        // A resize refits both layers.
        form->resize(1000, 700);
        QCOMPARE(screen()->geometry(), fitPhotoRect(panel()->width(), panel()->height(), 600, 800));
        QCOMPARE(overlay()->geometry(), screen()->geometry());
        QCOMPARE(screen()->pixmap().size(), screen()->size());
    }

    // A special file or an oversized photo also says why, below the usual headline.
    void failedLoadsKeepEverything_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QStringList>("messages");
        const QString headline = "Error al abrir la imagen";
        const QString dir = tempDir();
        const QList<std::pair<QString, QString>> files{
            {testData("no_such_file.jpg"), headline},
            {testData("not_an_image.jpg"), headline},
            {testData("empty.jpg"), headline},
            {makeSpecialFile(dir, "folder"), headline + "\n\nEs una carpeta, no un archivo."},
            {makeSpecialFile(dir, "fifo"),
             headline + "\n\nEs una tubería con nombre (FIFO), no un archivo normal."},
            {"/dev/zero", headline + "\n\nEs un dispositivo, no un archivo normal."},
            {writeFile(dir, "huge.bmp", bmpHeaderClaiming(20000, 10000)),
             headline +
                 "\n\nLa imagen declara 20000 × 10000 píxeles, más de lo que admite el límite de 640 MB."},
        };
        QTest::newRow("open cancelled") << QString() << false << QStringList();
        for (const auto& [path, message] : files) {
            const QString name = QFileInfo(path).fileName();
            QTest::addRow("open %s", qPrintable(name)) << path << false << QStringList{message};
            QTest::addRow("drop %s", qPrintable(name)) << path << true << QStringList{message};
        }
    }
    void failedLoadsKeepEverything() {
        QFETCH(QString, path);
        QFETCH(bool, drop);
        QFETCH(QStringList, messages);
        QVERIFY(open(testData("eye_600x400.jpg")));
        const auto before = snapshot();
        drop ? dropFiles({path}) : void(open(path));
        QCOMPARE(sink.messages, messages);
        QVERIFY(snapshot() == before);
        QVERIFY(!QGuiApplication::overrideCursor()); // the wait cursor is gone
    }

    // Of three dropped files the first is loaded, whatever the length and characters of its path.
    void dropLoadsFirstFileOfAnyPath() {
        QString dir = tempDir();
        for (int i = 0; i < 6; ++i)
            dir += QStringLiteral("/carpeta ñandú ojo 👁 número %1 con un nombre largo").arg(i);
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/ojo izquierdo ü.jpg");
        QVERIFY(path.toUtf8().size() > 300);
        QVERIFY(QFile::copy(testData("portrait_600x800.jpg"), path));
        dropFiles({path, testData("eye_600x400.jpg"), testData("sample.bmp")});
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(form->sourcePath(), path);
        QCOMPARE(form->photo().size(), QSize(600, 800));
    }

    void pasteTakesClipboardImage() {
        QVERIFY(open(testData("eye_600x400.jpg")));
        QImage pasted(300, 100, QImage::Format_ARGB32);
        pasted.fill(qRgba(0, 128, 255, 255));
        QGuiApplication::clipboard()->setImage(pasted);
        form->btnImagenPasteClick();
        QVERIFY(form->waitUntilIdle());
        QVERIFY(sink.messages.isEmpty() && sink.errors.isEmpty());
        QCOMPARE(form->photo().size(), QSize(300, 100));
        QVERIFY(!form->photo().hasAlphaChannel()); // a pasted bitmap is opaque
        QCOMPARE(form->photo().pixel(150, 50), qRgb(0, 128, 255));
        QVERIFY(form->sourcePath().isEmpty());
        QCOMPARE(screen()->geometry(), fitPhotoRect(729, 606, 300, 100));

        // A later open brings the path back.
        QVERIFY(open(testData("eye_600x400.jpg")));
        QCOMPARE(form->sourcePath(), testData("eye_600x400.jpg"));
    }

    void pasteWithoutPictureKeepsPhoto() {
        QVERIFY(open(testData("eye_600x400.jpg")));
        const auto before = snapshot();
        QGuiApplication::clipboard()->setText(QStringLiteral("only text"));
        form->btnImagenPasteClick();
        QCOMPARE(sink.messages, QStringList{"Error al copiar la imagen"});
        QVERIFY(snapshot() == before);

        // A picture format whose data cannot be read: a clear error, photo kept.
        sink = RecordingSink();
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("image/png"), QByteArray("not a png at all"));
        QGuiApplication::clipboard()->setMimeData(mime);
        form->btnImagenPasteClick();
        QCOMPARE(sink.messages, QStringList());
        QCOMPARE(sink.errors.size(), 1);
        QVERIFY(sink.errors.first().endsWith('.'));
        QVERIFY(snapshot() == before);
    }

    void resizeWithoutPhotoStretchesEmptyLayer() {
        form->resize(1000, 700);
        QCOMPARE(screen()->geometry(), QRect(QPoint(0, 0), panel()->size()));
        QCOMPARE(overlay()->geometry(), QRect(44, 4, 605, 429));
        QVERIFY(overlay()->pixmap().isNull());
    }

    void saveAndPrintDoNothingWithoutPhoto() {
        chooser.nextSave = tempDir() + "/x.png";
        form->btnImagenSaveClick();
        form->btnPrintClick();
        QCOMPARE(chooser.saves, 0);
        QVERIFY(sink.messages.isEmpty() && sink.errors.isEmpty());
    }

    void settingsRedrawOnAcceptOnly() {
        QVERIFY(open(testData("eye_600x400.jpg")));
        for (const bool accept : {false, true}) {
            const qint64 before = overlay()->pixmap().cacheKey();
            QTimer::singleShot(0, this, [accept] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                accept ? dialog->accept() : dialog->reject();
            });
            form->Button1Click();
            QCOMPARE(overlay()->pixmap().cacheKey() != before, accept);
        }
    }

    // The real file dialogs: the save dialog starts in the folder of the photo just opened, proposes
    // the name, preselects the filter and asks before replacing a file.
    void realFileDialogs() {
        const QString dir = tempDir();
        QVERIFY(QFile::copy(testData("eye_600x400.jpg"), dir + "/ojo1.jpg"));
        FileChooser& real = qtFileChooser();
        const QString filter = "Todo (*.jpg *.png);;Archivos JPG (*.jpg);;Archivos PNG (*.png)";
        QTimer::singleShot(0, this, [dir] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->setDirectory(dir);
            dialog->selectFile("ojo1.jpg");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(real.openFile(form.get(), filter), dir + "/ojo1.jpg");

        QString folder, nameFilter, proposal;
        bool confirms = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            folder = dialog->directory().absolutePath();
            nameFilter = dialog->selectedNameFilter();
            proposal = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        int filterIndex = 2;
        QVERIFY(real.saveFile(form.get(), filter, filterIndex, "ojo1_ang", "jpg").isEmpty());
        QCOMPARE(folder, dir);
        QCOMPARE(nameFilter, QStringLiteral("Archivos JPG (*.jpg)"));
        QCOMPARE(proposal, QStringLiteral("ojo1_ang"));
        QVERIFY(confirms);
        QCOMPARE(filterIndex, 2); // cancelled: the filter stays

        // The filter the user picks comes back, for the next save to show.
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectNameFilter("Archivos PNG (*.png)");
            dialog->selectFile("ojo1_ang.png");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QCOMPARE(real.saveFile(form.get(), filter, filterIndex, "ojo1_ang", "jpg"), dir + "/ojo1_ang.png");
        QCOMPARE(filterIndex, 3);

        // A name typed without extension takes the chosen type's, also when the user switches type in
        // the dialog; "Todo" names no single type and gives the default.
        for (const auto& [start, keys, expected] :
             {std::tuple{3, 0, "sin_ext.png"}, std::tuple{3, -1, "sin_ext.jpg"},
              std::tuple{1, 0, "sin_ext.jpg"}, std::tuple{1, 2, "sin_ext.png"}}) {
            QTimer::singleShot(0, this, [keys = keys] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                for (int k = 0; k < std::abs(keys); ++k)
                    QTest::keyClick(types, keys > 0 ? Qt::Key_Down : Qt::Key_Up);
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText("sin_ext");
                QMetaObject::invokeMethod(dialog, "accept");
            });
            filterIndex = start;
            QCOMPARE(real.saveFile(form.get(), filter, filterIndex, "x", "jpg"), dir + "/" + expected);
        }
    }

    // An error while a window is made is reported like a handler's, and what follows still runs.
    void creationErrorsAreReportedAndStartupGoesOn() {
        auto* app = static_cast<PelvanorApplication*>(QCoreApplication::instance());
        app->setErrorSink(&sink);
        bool after = false;
        runCreationStep([] { throw std::runtime_error("No hay impresoras"); });
        const auto failed = createWindow<FailingWindow>(form.get());
        const auto made = createWindow<TformOpciones>(form.get());
        after = true;
        app->setErrorSink(&qtMessageSink());
        QCOMPARE(sink.errors, QStringList({"No hay impresoras.", "Unknown error."}));
        QVERIFY(!failed && made && after);
    }

    void escapedErrorsAreShownAndProgramGoesOn_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        // A full stop is added unless the text ends in one or in a character sorting before it.
        for (const auto& [text, shown] : {std::pair{"Disk on fire", "Disk on fire."},
                                          {"Done.", "Done."},
                                          {"Careful,", "Careful,"},
                                          {"Why?", "Why?."},
                                          {"Blank ", "Blank "}})
            QTest::newRow(text) << QString::fromLatin1(text) << QString::fromLatin1(shown);
    }
    void escapedErrorsAreShownAndProgramGoesOn() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        auto* app = static_cast<PelvanorApplication*>(QCoreApplication::instance());
        app->setErrorSink(&sink);
        FailingObject failing;
        failing.text = text;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        app->setErrorSink(&qtMessageSink());
        QCOMPARE(sink.errors, QStringList{shown});
        QVERIFY(open(testData("eye_600x400.jpg"))); // still working
    }
};

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    imaging::configureDecoderLimits();
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainwindow.moc"
