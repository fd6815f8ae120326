#include "i18n/translate.h"

#include "i18n/catalogue.h"

#include <QAbstractItemModel>
#include <QAbstractProxyModel>
#include <QMetaProperty>
#include <QPointer>
#include <QStringList>

namespace i18n {

namespace {

// The properties that carry user-visible text. Object names and style sheets are not texts.
const char* const kTextProperties[] = {"text", "title", "windowTitle", "toolTip", "placeholderText"};

bool isTextProperty(const QMetaProperty& property) {
    if (!property.isWritable() || property.userType() != QMetaType::QString)
        return false;
    for (const char* name : kTextProperties)
        if (qstrcmp(property.name(), name) == 0)
            return true;
    return false;
}

struct TextEntry {
    QPointer<QObject> object;
    QByteArray property;
    QString text;
};

// An item list: one column of a model, as the list control that owns the model shows it. `shown`
// holds each line as last translated, so a line the program has since replaced is left alone.
struct ListEntry {
    QPointer<QAbstractItemModel> model;
    int column = 0;
    QStringList lines;
    QStringList shown;
};

} // namespace

// What a window remembers of its layout's texts, attached to the window as a child.
class TranslationRecord : public QObject {
    Q_OBJECT
public:
    explicit TranslationRecord(QObject* window) : QObject(window) {}
    QString language;
    QList<TextEntry> texts;
    QList<ListEntry> lists;
};

namespace {

TranslationRecord* recordOf(const QObject* window) {
    return window ? window->findChild<TranslationRecord*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

// A proxy shows another model's items; those are translated where they live.
QAbstractItemModel* itemList(QObject* object) {
    auto* model = qobject_cast<QAbstractItemModel*>(object);
    if (!model || qobject_cast<QAbstractProxyModel*>(model))
        return nullptr;
    return model;
}

int listColumn(const QAbstractItemModel* model) {
    const QVariant column = model->parent() ? model->parent()->property("modelColumn") : QVariant();
    return column.isValid() ? column.toInt() : 0;
}

void setText(QObject* object, const char* property, const QString& text) {
    if (object->property(property).toString() != text)
        object->setProperty(property, text);
}

void setLines(ListEntry& list) {
    const int rows = std::min<int>(list.lines.size(), list.model->rowCount());
    for (int row = 0; row < rows; ++row) {
        const QString& line = list.lines.at(row);
        const QModelIndex index = list.model->index(row, list.column);
        const QString current = index.data(Qt::DisplayRole).toString();
        if (line.isEmpty() || current != list.shown.at(row))
            continue;
        const QString translated = lookup(line);
        if (current != translated)
            list.model->setData(index, translated, Qt::DisplayRole);
        list.shown[row] = translated;
    }
}

// An editable list shows its own text field; after its lines change it shows the selected line.
void showSelectedLine(const ListEntry& list) {
    QObject* owner = list.model->parent();
    if (!owner || !owner->property("editable").toBool())
        return;
    const int selected = owner->property("currentIndex").toInt();
    if (selected >= 0 && selected < list.model->rowCount())
        setText(owner, "currentText", list.model->index(selected, list.column).data().toString());
}

void remember(TranslationRecord* record, QObject* object) {
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!isTextProperty(property))
            continue;
        const QString text = property.read(object).toString();
        if (!text.isEmpty())
            record->texts.append({object, property.name(), text});
    }
    if (QAbstractItemModel* model = itemList(object); model && model->rowCount() > 0) {
        ListEntry list{model, listColumn(model), {}, {}};
        for (int row = 0; row < model->rowCount(); ++row)
            list.lines << model->index(row, list.column).data(Qt::DisplayRole).toString();
        list.shown = list.lines;
        record->lists.append(list);
    }
}

} // namespace

void TranslateComponent(QObject* window) {
    if (!window)
        return;
    if (recordOf(window)) {
        RetranslateComponent(window); // the remembered texts are the layout's; keep them
        return;
    }
    auto* record = new TranslationRecord(window);
    remember(record, window);
    for (QObject* object : window->findChildren<QObject*>())
        if (object != record)
            remember(record, object);

    for (const TextEntry& entry : record->texts)
        setText(entry.object, entry.property.constData(), lookup(entry.text));
    for (ListEntry& list : record->lists) {
        setLines(list);
        showSelectedLine(list);
    }
    record->language = currentLanguage();
}

void RetranslateComponent(QObject* window) {
    TranslationRecord* record = recordOf(window);
    if (!record) {
        TranslateComponent(window);
        return;
    }
    const QString language = currentLanguage();
    if (record->language == language)
        return;

    // A text with an entry in either language's catalogue takes its look-up; the others, which
    // the program may have changed since, stay as they are.
    QStringList texts;
    for (const TextEntry& entry : record->texts)
        texts << entry.text;
    const QList<bool> inNew = hasEntries(texts, language);
    const QList<bool> inOld = hasEntries(texts, record->language);
    for (int i = 0; i < record->texts.size(); ++i) {
        const TextEntry& entry = record->texts.at(i);
        if (entry.object && (inNew.at(i) || inOld.at(i)))
            setText(entry.object, entry.property.constData(), lookup(entry.text));
    }

    for (ListEntry& list : record->lists) {
        if (!list.model)
            continue;
        if (!hasEntries(list.lines, language).contains(true) &&
            !hasEntries(list.lines, record->language).contains(true))
            continue;
        setLines(list);
        showSelectedLine(list);
    }
    record->language = language;
}

QList<RememberedText> rememberedTexts(const QObject* window) {
    QList<RememberedText> result;
    const TranslationRecord* record = recordOf(window);
    if (!record)
        return result;
    for (const TextEntry& entry : record->texts)
        if (entry.object)
            result.append({entry.object->objectName(), QString::fromLatin1(entry.property), entry.text});
    for (const ListEntry& list : record->lists)
        if (list.model)
            for (const QString& line : list.lines)
                result.append({list.model->parent() ? list.model->parent()->objectName() : QString(),
                               QStringLiteral("items"), line});
    return result;
}

QString windowLanguage(const QObject* window) {
    const TranslationRecord* record = recordOf(window);
    return record ? record->language : QString();
}

} // namespace i18n

#include "translate.moc"
