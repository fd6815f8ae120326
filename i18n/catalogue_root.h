#pragma once

#include <QString>

namespace i18n {

// The folder whose "locale" subfolder holds the catalogue, for a program in programDir: the
// program's own folder when the catalogue sits beside it (the build tree), otherwise
// programDir/../share/pelvanor (an installed tree, wherever it was installed or moved to).
QString catalogueRoot(const QString& programDir);

} // namespace i18n
