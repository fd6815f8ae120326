#include "gauge/reference_axis.h"

#include <QFileInfo>

namespace {

// One key for one file, however its path was written.
QString fileKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

ReferenceAxis ReferenceAxes::choose(const QString& path, std::optional<int> recorded,
                                    std::optional<int> guideLine) const {
    const auto found = kept.constFind(fileKey(path));
    if (found != kept.constEnd())
        return *found;
    if (recorded)
        return {recorded, ReferenceAxisSource::Recorded};
    if (guideLine)
        return {guideLine, ReferenceAxisSource::GuideLine};
    return {};
}

void ReferenceAxes::keep(const QString& path, const ReferenceAxis& axis) {
    if (axis.degrees && !path.isEmpty())
        kept.insert(fileKey(path), axis);
}
