#include "application.h"
#include "unitMain.h"

#include "i18n/catalogue.h"
#include "imaging/imaging.h"
#include "output/unitPrintImage.h"
#include "settings/unitOpciones.h"

#include <QTimer>

int main(int argc, char** argv) {
    PelvanorApplication app(argc, argv);
    imaging::configureDecoderLimits();
    i18n::initCatalogue(QCoreApplication::applicationDirPath());
    i18n::SetLanguage(QString());

    // A window whose making fails is reported and left out; start-up goes on.
    TFormMain FormMain;
    const auto PrintImage = createWindow<TPrintImage>(&FormMain);
    const auto formOpciones = createWindow<TformOpciones>(&FormMain);
    FormMain.setDialogs(PrintImage.get(), formOpciones.get());
    FormMain.show();

    // A photo named on the command line ("Open with") is opened once the window is up.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) {
        const QString path = args.at(1);
        QTimer::singleShot(0, &FormMain, [&FormMain, path] { FormMain.openPhotoFile(path); });
    }
    return app.exec();
}
