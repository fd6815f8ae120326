#pragma once

#include <QList>
#include <QString>

class QObject;

// Translation of a window's texts through the catalogue. The walker sees the window and every
// object below it through Qt's object tree and meta-properties only: the text properties of each
// object and the item lists (item models) that list controls keep as their children.
namespace i18n {

// Translates every non-empty text of the window into the current language and remembers the
// texts as they were (the layout's Spanish). Each window calls it once, at the end of its creation.
void TranslateComponent(QObject* window);
// Brings a translated window's remembered texts into the current language. Only texts that have
// a catalogue entry change, so texts the program sets while it runs keep their values; item
// lists keep their selected entry.
void RetranslateComponent(QObject* window);

// A remembered text: the object's name, the property ("text", "title", ...; "items" for a line of
// an item list) and the text at creation.
struct RememberedText {
    QString objectName;
    QString property;
    QString text;
};
QList<RememberedText> rememberedTexts(const QObject* window);
// The language the window was last translated into; empty before TranslateComponent.
QString windowLanguage(const QObject* window);

} // namespace i18n
