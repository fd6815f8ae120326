#pragma once

#include <QHash>
#include <QString>

#include <optional>

// Where the axis of a reference photo comes from, shown beside it in the comparison.
enum class ReferenceAxisSource {
    None,      // nothing known: the user types it
    Recorded,  // the guide line saved in the reference file
    GuideLine, // the main window's guide line when the reference was first opened
    Typed,     // typed by the user for this reference photo
};

struct ReferenceAxis {
    std::optional<int> degrees;
    ReferenceAxisSource source = ReferenceAxisSource::None;
};

// The axes of the reference photos compared in this session, each kept with its photo (by file), so
// that comparing the same pair again starts from the same axis and never from the axis a previous
// comparison carried onto the main window's guide line.
class ReferenceAxes {
public:
    // The axis to start from: the one kept with this photo, else the one its file records, else the
    // main window's guide line (none while the guide line holds a carried axis), else none.
    ReferenceAxis choose(const QString& path, std::optional<int> recorded,
                         std::optional<int> guideLine) const;
    // Keeps the axis with the photo; an unknown axis is not kept.
    void keep(const QString& path, const ReferenceAxis& axis);

private:
    QHash<QString, ReferenceAxis> kept;
};
