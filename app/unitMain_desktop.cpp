// The main window on the desktop: keyboard shortcuts and copying the composite to the clipboard.
#include "unitMain.h"

#include "platform.h"
#include "ui_unitMain.h"

#include "imaging/background_task.h"
#include "output/clipboard.h"
#include "output/composite.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QShortcut>

namespace {

const char kCopyError[] = "Error al copiar la imagen al portapapeles";

} // namespace

// Each button's key clicks the button, so the key does whatever the button does. Edit fields keep
// their own Ctrl+V and Ctrl+C for text: Qt gives a focused field's standard keys precedence.
void TFormMain::setupShortcuts() {
    const std::pair<QPushButton*, QKeySequence> buttons[] = {
        {ui->btnImagenOpen, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {ui->btnImagenPaste, QKeySequence(Qt::CTRL | Qt::Key_V)},
        {ui->btnImagenSave, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {ui->btnPrint, QKeySequence(Qt::CTRL | Qt::Key_P)}};
    for (const auto& [button, keys] : buttons) {
        connect(new QShortcut(keys, this), &QShortcut::activated, button, &QPushButton::click);
        // The caption and the key, "Abrir imagen (Ctrl+O)": translated with the window's texts.
        button->setToolTip(button->text() + QStringLiteral(" (") + keys.toString(QKeySequence::PortableText) +
                           QLatin1Char(')'));
    }
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_C), this), &QShortcut::activated, this,
            &TFormMain::copyComposite);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
            &QWidget::close);
}

// Drawn and encoded as PNG on a thread of its own; on the clipboard once both are done.
void TFormMain::copyComposite() {
    if (Photo.isNull() || busy())
        return;
    const CompositeInputs inputs = withLabelsLookedUp(compositeInputs());
    background->start<output::ClipboardComposite>(
        [inputs] { return output::clipboardComposite(inputs); },
        [this](const output::ClipboardComposite& composite) {
            if (composite.image.isNull()) {
                messages->message(this, QString::fromUtf8(kCopyError) + QLatin1Char('\n') + composite.error);
                return;
            }
            QGuiApplication::clipboard()->setMimeData(output::compositeMimeData(composite));
        });
}
