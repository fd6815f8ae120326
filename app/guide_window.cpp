#include "guide_window.h"

#include "i18n/catalogue.h"

#include <QDialogButtonBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char kGuideTitle[] = "Guía de uso";
}

GuideWindow::GuideWindow(QWidget* parent) : QDialog(parent), browser(new QTextBrowser(this)) {
    browser->setObjectName(QStringLiteral("txtGuide"));
    browser->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    resize(620, 640);
}

QString GuideWindow::pageFor(const QString& language) {
    return language.startsWith(QLatin1String("en")) ? QStringLiteral("qrc:/guide/guide_en.html")
                                                    : QStringLiteral("qrc:/guide/guide_es.html");
}

void GuideWindow::showGuide() {
    setWindowTitle(i18n::lookup(QString::fromUtf8(kGuideTitle)));
    browser->setSource(QUrl(pageFor(i18n::currentLanguage())));
    show();
    raise();
    activateWindow();
}
