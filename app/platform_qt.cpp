#include "platform.h"

#include "app_title.h"

#include "imaging/file_types.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>

namespace {

// Filters are handed over in Qt's "Description (*.a *.b);;..." form; index counts from 1.
// Both dialogs open in the folder last used by either, as the desktop's own dialogs do, so a save
// starts beside the photo that was opened.
class QtFileChooser : public FileChooser {
public:
    QString openFile(QWidget* parent, const QString& filter) override {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile); // the named file need not exist: decoding reports it
        dialog.setNameFilters(filter.split(QStringLiteral(";;")));
        return run(dialog);
    }

    QString saveFile(QWidget* parent, const QString& filter, int& filterIndex, const QString& proposedName,
                     const QString& defaultSuffix) override {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const QStringList filters = filter.split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        if (filterIndex >= 1 && filterIndex <= filters.size())
            dialog.selectNameFilter(filters.at(filterIndex - 1));
        // A name typed without extension takes that of the file type chosen, else the default.
        const auto suffixFor = [&defaultSuffix](const QString& nameFilter) {
            const QString single = singleExtensionOf(nameFilter);
            return single.isEmpty() ? defaultSuffix : single;
        };
        dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString& f) { dialog.setDefaultSuffix(suffixFor(f)); });
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false); // never replace a file unasked
        const QString chosen = run(dialog, proposedName);
        if (!chosen.isEmpty() && filters.contains(dialog.selectedNameFilter()))
            filterIndex = filters.indexOf(dialog.selectedNameFilter()) + 1;
        return chosen;
    }

    void setFallbackFolder(const QString& folder) override { fallbackFolder = folder; }

private:
    QString lastFolder;
    QString fallbackFolder;

    QString run(QFileDialog& dialog, const QString& name = QString()) {
        if (!lastFolder.isEmpty())
            dialog.setDirectory(lastFolder);
        else if (!fallbackFolder.isEmpty())
            dialog.setDirectory(fallbackFolder);
        if (!name.isEmpty())
            dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString chosen = dialog.selectedFiles().constFirst();
        lastFolder = QFileInfo(chosen).absolutePath();
        return chosen;
    }
};

// A message box centred on the screen rather than on its parent window. It takes its final size
// while being shown, so it is placed then, before it appears.
class ScreenCentredBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        const QScreen* s = parentWidget() ? parentWidget()->screen() : screen();
        if (!s)
            return;
        QRect placed(QPoint(), frameGeometry().size().expandedTo(size()));
        placed.moveCenter(s->availableGeometry().center());
        move(placed.topLeft());
    }
};

class QtMessageSink : public MessageSink {
public:
    void message(QWidget* parent, const QString& text) override { show(parent, text, QMessageBox::NoIcon); }
    void error(QWidget* parent, const QString& text) override { show(parent, text, QMessageBox::Critical); }

private:
    static void show(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
        ScreenCentredBox box(icon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok, parent);
        box.exec();
    }
};

} // namespace

FileChooser& qtFileChooser() {
    static QtFileChooser chooser;
    return chooser;
}

MessageSink& qtMessageSink() {
    static QtMessageSink sink;
    return sink;
}
