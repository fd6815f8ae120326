#include "application.h"
#include "command_line.h"
#include "desktop_integration.h"
#include "unitMain.h"

#include "app/unitOpciones.h"
#include "app/unitPrintImage.h"
#include "i18n/catalogue.h"
#include "i18n/catalogue_root.h"
#include "imaging/imaging.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    // Help and version need no display: answered before the application connects to one.
    const command_line::Request request = command_line::requestFor(argc, argv);
    if (request != command_line::Request::Run) {
        const QString text =
            request == command_line::Request::Help ? command_line::helpText() : command_line::versionText();
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    PelvanorApplication app(argc, argv);
    setUpDesktopIntegration(app);
    imaging::configureDecoderLimits();
    i18n::initCatalogue(i18n::catalogueRoot(QCoreApplication::applicationDirPath()));
    i18n::SetLanguage(QString());

    // A window whose making fails is reported and left out; start-up goes on.
    TFormMain FormMain;
    const auto PrintImage = createWindow<TPrintImage>(&FormMain);
    const auto formOpciones = createWindow<TformOpciones>(&FormMain);
    FormMain.setDialogs(PrintImage.get(), formOpciones.get());
    FormMain.show();

    // A photo named on the command line ("Open with") is opened once the window is up.
    const QString path = command_line::photoArgument(QCoreApplication::arguments().mid(1));
    if (!path.isEmpty()) {
        QTimer::singleShot(0, &FormMain, [&FormMain, path] { FormMain.startOpening(path); });
    }
    return app.exec();
}
