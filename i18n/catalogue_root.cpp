#include "i18n/catalogue_root.h"

#include <QDir>
#include <QFileInfo>

namespace i18n {

QString catalogueRoot(const QString& programDir) {
    if (QFileInfo(programDir + QStringLiteral("/locale")).isDir())
        return programDir;
    return QDir::cleanPath(programDir + QStringLiteral("/../share/pelvanor"));
}

} // namespace i18n
