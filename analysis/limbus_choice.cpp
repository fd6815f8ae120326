#include "limbus_choice.h"

#include "limbus_search.h"
#include "numerics.h"
#include "outline_checks.h"
#include "tuning.h"

#include <algorithm>

namespace {

struct Found {
    RoundOutline outline;
    double step;
};

// Adds an outline to those found; candidates that settle on the same outline count as one, with the
// strongest step among them.
void addFound(std::vector<Found>& found, const RoundOutline& outline, double step) {
    const auto same = std::find_if(found.begin(), found.end(),
                                   [&](const Found& o) { return sameOutline(o.outline, outline); });
    if (same == found.end())
        found.push_back({outline, step});
    else
        same->step = std::max(same->step, step);
}

// The innermost outline whose step is comparable with the strongest one.
const Found* innermostComparable(const std::vector<Found>& found) {
    double strongest = 0;
    for (const Found& o : found)
        strongest = std::max(strongest, o.step);
    const Found* limbus = nullptr;
    for (const Found& o : found)
        if (o.step >= tuning().outline.comparableStep * strongest &&
            (!limbus || o.outline.radius < limbus->outline.radius))
            limbus = &o;
    return limbus;
}

} // namespace

LimbusChoice chooseLimbus(const ClickSearch& s, const std::optional<Circle>& pupil) {
    const OutlineTuning& t = tuning().outline;
    const int f = s.f;
    std::optional<Circle> pupilInPlane;
    if (pupil)
        pupilInPlane = Circle{pupil->centre / f, pupil->radius / f};
    LimbusChoice out;
    const auto refuse = [&](const Refusal& check) {
        if (out.refusedBy == OutlineCheck::None)
            out.refusedBy = check;
    };
    std::vector<Found> found;
    const auto limbi = searchLimbus(s.planes.luma, s.p, pupilInPlane, t.limbusCandidates);
    if (limbi.empty())
        refuse(OutlineCheck::NoLimbusStep);
    for (const LimbusCandidate& c : limbi) {
        Refusal why;
        const auto outline =
            limbusAtFullSize(s.full, Circle{c.circle.centre * f, c.circle.radius * f}, f, s.point, why);
        if (!outline) {
            refuse(why);
            continue;
        }
        const Circle inPlane{outline->centre / f, outline->radius / f};
        if (beyondGreyShare(s.planes.value, s.planes.luma, inPlane) < t.minScleraGrey ||
            !darkMiddle(s.planes.luma, inPlane)) {
            refuse(OutlineCheck::LimbusNotWhite);
            continue;
        }
        const bool aboutPoint = inside(s.point, outline->centre, t.pupilZone * outline->radius);
        if (!pupil && aboutPoint)
            out.aboutPupilZone.push_back(*outline);
        if (pupil ? !holdsPupil(*outline, *pupil) : aboutPoint) {
            refuse(pupil ? OutlineCheck::LimbusOffPupil : OutlineCheck::LimbusAboutPoint);
            continue;
        }
        addFound(found, *outline, c.step);
    }
    if (const Found* limbus = innermostComparable(found)) {
        out.limbus = limbus->outline;
        out.refusedBy = OutlineCheck::None;
    }
    return out;
}
