// The main window on the desktop: keys, the composite copied to the clipboard, and the folder the
// save dialog starts in.
#include "app/platform.h"
#include "app/unitMain.h"
#include "app/unitOpciones.h"
#include "output/clipboard.h"
#include "output/composite.h"
#include "testsupport.h"

#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

class TestShortcuts : public QObject {
    Q_OBJECT
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TformOpciones> opciones;
    ScriptedChooser chooser;
    RecordingSink sink;

    template <class T> T* child(const char* name) { return requireChild<T>(form.get(), name); }
    void press(QWidget* target, Qt::Key key) {
        QApplication::setActiveWindow(form.get());
        QTest::keyClick(target, key, Qt::ControlModifier);
    }

private slots:
    void init() {
        QGuiApplication::clipboard()->clear();
        form = std::make_unique<TFormMain>();
        opciones = std::make_unique<TformOpciones>(form.get());
        form->setDialogs(nullptr, opciones.get());
        chooser = ScriptedChooser();
        sink = RecordingSink();
        form->setFileChooser(&chooser);
        form->setMessageSink(&sink);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanup() {
        opciones.reset();
        form.reset();
    }

    // Each key clicks its button, whichever control has the focus, and the tooltip names the key;
    // in the reference field Ctrl+V pastes text instead.
    void keysClickTheirButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Ctrl+O") << "btnImagenOpen" << int(Qt::Key_O) << "tbRadio" << 1;
        QTest::newRow("Ctrl+V") << "btnImagenPaste" << int(Qt::Key_V) << "btnImagenSave" << 1;
        QTest::newRow("Ctrl+S") << "btnImagenSave" << int(Qt::Key_S) << "Referencia" << 1;
        QTest::newRow("Ctrl+P") << "btnPrint" << int(Qt::Key_P) << "GuiaGrados" << 1;
        QTest::newRow("Ctrl+V in the reference") << "btnImagenPaste" << int(Qt::Key_V) << "Referencia" << 0;
    }
    void keysClickTheirButtons() {
        QFETCH(QString, button);
        QFETCH(int, key);
        QFETCH(QString, focus);
        QFETCH(int, clicks);
        QGuiApplication::clipboard()->setText(QStringLiteral("ojo izquierdo"));
        auto* target = child<QPushButton>(button.toLatin1().constData());
        QCOMPARE(target->toolTip(), target->text() + " (Ctrl+" + QChar(key) + ")");
        QSignalSpy spy(target, &QPushButton::clicked);
        QWidget* focused = child<QWidget>(focus.toLatin1().constData());
        focused->setFocus();
        press(focused, Qt::Key(key));
        QCOMPARE(spy.count(), clicks);
        if (clicks == 0)
            QCOMPARE(child<QLineEdit>("Referencia")->text(), QStringLiteral("ojo izquierdo"));
    }

    void ctrlQCloses() {
        press(form.get(), Qt::Key_Q);
        QVERIFY(!form->isVisible());
    }

    // Ctrl+C: the composite as saved, at the photo's size, as an image and as PNG bytes; the
    // reference field keeps copying its text; nothing happens without a photo.
    void ctrlCCopiesTheComposite() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("kept"));
        press(form.get(), Qt::Key_C);
        QCOMPARE(clipboard->text(), QStringLiteral("kept"));

        QVERIFY(form->openPhotoFile(testData("eye_600x400.jpg")));
        child<QLineEdit>("Referencia")->setText(QStringLiteral("R1"));
        child<QLineEdit>("Referencia")->setFocus();
        child<QLineEdit>("Referencia")->selectAll();
        press(child<QLineEdit>("Referencia"), Qt::Key_C);
        QCOMPARE(clipboard->text(), QStringLiteral("R1"));

        child<QWidget>("tbRadio")->setFocus();
        press(child<QWidget>("tbRadio"), Qt::Key_C);
        QVERIFY(form->waitUntilIdle());
        const QImage expected = form->RenderComposite().image;
        const QMimeData* mime = clipboard->mimeData();
        QVERIFY(mime && mime->hasImage() && mime->hasFormat("image/png"));
        QCOMPARE(qvariant_cast<QImage>(mime->imageData()), expected);
        const QImage png = QImage::fromData(mime->data("image/png"), "PNG");
        QCOMPARE(png.size(), QSize(600, 400));
        QCOMPARE(png.convertToFormat(expected.format()), expected);
        QVERIFY(sink.messages.isEmpty());
    }

    // The real save dialog starts in the folder of a photo opened without a dialog (command line,
    // file manager) until a folder has been used in the run; then in the folder last used.
    void saveDialogStartsInThePhotosFolder() {
        form->setFileChooser(&qtFileChooser());
        const QString photos = tempDir(), chosen = tempDir(), other = tempDir();
        QVERIFY(QFile::copy(testData("eye_600x400.jpg"), photos + "/ojo1.jpg"));
        QVERIFY(QFile::copy(testData("eye_600x400.jpg"), other + "/ojo2.jpg"));
        QString folder;
        auto saveAs = [&](const QString& name) {
            QTimer::singleShot(0, this, [&folder, name] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                folder = dialog->directory().absolutePath();
                if (name.isEmpty())
                    return dialog->reject();
                dialog->selectFile(name);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            form->btnImagenSaveClick();
            QVERIFY(form->waitUntilIdle());
        };
        QVERIFY(form->openPhotoFile(photos + "/ojo1.jpg"));
        saveAs(QString());
        QCOMPARE(folder, photos);
        saveAs(chosen + "/ojo1_ang.png");
        QCOMPARE(folder, photos);
        QVERIFY(QFile::exists(chosen + "/ojo1_ang.png"));
        QVERIFY(form->openPhotoFile(other + "/ojo2.jpg"));
        saveAs(QString());
        QCOMPARE(folder, chosen);
    }
};

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
