#include "round_outline.h"

#include "bright_field.h"
#include "eye_planes.h"
#include "limbus_choice.h"
#include "numerics.h"
#include "outline_checks.h"
#include "outline_fit.h"
#include "pupil_search.h"
#include "tuning.h"

#include <algorithm>
#include <cstdio>
#define DBG(x) (std::getenv("OUTLINE_DEBUG") ? std::printf("path %s  ", x) : 0)

// The search, in order:
// 1. The pupil (pupil_search): the dark round outline around the point, and the pupil near the point
//    when the point lies beside it. The dark outline is the answer unless a pupil beside the point
//    puts the point on an iris whose limbus the dark outline is not.
// 2. Else the limbus (limbus_choice), by the step from iris to sclera on the sides of the eye.
// 3. Else, with no pupil in sight, a large bright round field (bright_field): a fundus photo.
// Whatever is answered is refused when the point lies in a dark core of it, a pupil not found; nothing
// answered for a point in the middle of a limbus is a pupil not told from the iris, and said so.

namespace {

OutlineSearch refused(const Refusal& check) {
    return OutlineSearch{std::nullopt, check};
}

OutlineSearch answered(const RoundOutline& outline) {
    return OutlineSearch{outline, OutlineCheck::None};
}

// The limbus chosen, unless the point lies in a pupil not found: in a dark core of it, or in the
// pupil zone of a limbus inside it.
OutlineSearch limbusAnswer(const ClickSearch& s, const LimbusChoice& choice) {
    if (s.pupilMissed(*choice.limbus))
        return refused(OutlineCheck::DarkCore);
    if (holdsPupilZone(*choice.limbus, choice.aboutPupilZone))
        return refused(OutlineCheck::PupilZone);
    return answered(*choice.limbus);
}

// Whether a dark outline holding the point is the whole of a dark iris, its pupil not told from it: it is
// coloured as an iris is (a pupil is black, an infrared photo grey), the limbus search about the point
// finds it, and no wider limbus about it whose pupil it could be.
// How coloured the disc is: the median of its brightest channel over its weighted grey level, about 0
// for the black of a pupil or an infrared photo, several grey levels for a brown iris.
double colourWithin(const EyePlanes& planes, const Circle& disc) {
    std::vector<int> chroma;
    for (int y = int(disc.centre.y() - disc.radius); y <= int(disc.centre.y() + disc.radius); ++y)
        for (int x = int(disc.centre.x() - disc.radius); x <= int(disc.centre.x() + disc.radius); ++x)
            if (x >= 0 && y >= 0 && x < planes.value.cols && y < planes.value.rows &&
                inside(QPointF(x + 0.5, y + 0.5), disc.centre, 0.9 * disc.radius))
                chroma.push_back(planes.value.at<uchar>(y, x) - planes.luma.at<uchar>(y, x));
    return medianOf(chroma);
}

bool wholeDarkIris(const ClickSearch& s, const RoundOutline& dark) {
    if (!inside(s.point, dark.centre, tuning().outline.pupilZone * dark.radius) ||
        colourWithin(s.planes, Circle{dark.centre / s.f, dark.radius / s.f}) < tuning().outline.minIrisColour)
        return false;
    const LimbusChoice limbus = chooseLimbus(s, std::nullopt);
    const auto& about = limbus.aboutPupilZone;
    const auto same = [&](const RoundOutline& o) { return sameOutline(o, dark); };
    const auto wider = [&](const RoundOutline& o) {
        return !same(o) && o.radius > dark.radius && holdsPupil(o, Circle{dark.centre, dark.radius});
    };
    return std::any_of(about.begin(), about.end(), same) && std::none_of(about.begin(), about.end(), wider);
}

bool searchable(const QImage& photo, const QPointF& point) {
    return !photo.isNull() && QRectF(0, 0, photo.width(), photo.height()).contains(point);
}

bool searchable(const EyePlanes& planes) {
    const int least = tuning().outline.leastPlaneSide;
    return planes.value.cols >= least && planes.value.rows >= least;
}

} // namespace

OutlineSearch searchRoundOutline(const QImage& photo, const QPointF& point) {
    if (!searchable(photo, point))
        return refused(OutlineCheck::OffPhoto);
    const EyePlanes planes = makeEyePlanes(photo);
    if (!searchable(planes))
        return refused(OutlineCheck::OffPhoto);
    ClickSearch s(photo, planes, point);
    const PupilSearch pupil = searchPupil(s);
    if (pupil.dark && s.pupilMissed(*pupil.dark))
        return refused(OutlineCheck::DarkCore);
    if (pupil.dark && (!pupil.besidePoint || holdsPupil(*pupil.dark, *pupil.besidePoint)))
        return wholeDarkIris(s, *pupil.dark) ? refused(OutlineCheck::LimbusAboutPoint)
                                             : answered(*pupil.dark);
    const LimbusChoice limbus = chooseLimbus(s, pupil.besidePoint);
    if (limbus.limbus)
        return limbusAnswer(s, limbus);
    if (pupil.besidePoint)
        return refused(limbus.refusedBy);
    const FieldSearch field = brightFieldAround(s, limbus.aboutPupilZone);
    if (field.field)
        return answered(*field.field);
    // A limbus about the point puts it in a pupil not told from the iris, whatever else was refused.
    if (!limbus.aboutPupilZone.empty())
        return refused(OutlineCheck::LimbusAboutPoint);
    return refused(field.seen ? field.refusedBy : limbus.refusedBy);
}

std::optional<RoundOutline> findRoundOutline(const QImage& photo, const QPointF& point) {
    return searchRoundOutline(photo, point).outline;
}
