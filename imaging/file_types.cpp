#include "imaging/file_types.h"

#include <QRegularExpression>
#include <QStringList>

QString toQtNameFilters(const QString& fileTypeList) {
    const QStringList parts = fileTypeList.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns =
            parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        filters << parts.at(i).trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString singleExtensionOf(const QString& nameFilter) {
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.([^ *?.()]+)\\)$"));
    const QRegularExpressionMatch match = single.match(nameFilter.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}
