// How well the stated ± of an axis read off the gauge covers the true error, on synthetic readings with
// known truth: an eye's two axis marks at a known angle and distance, the centre placed by a drag at
// the view's pixels or found by a double-click with a known error, and the guide line laid, in whole
// degrees, where its drawn pixels pass nearest the marks as the screen shows them. Per zoom and
// placement: the share of errors within the stated 95 % half-width (it should lie in 90-98 %), the
// median half-width, and a calibration table of stated against actual error by band.
//   eval_reading [--trials N]
#include "eval_support.h"
#include "gauge/reading_error.h"
#include "imaging/rounding.h"

#include <QPointF>

#include <cstdio>
#include <random>

namespace {

constexpr double kDegree = M_PI / 180;
constexpr double kFittedPhotoPerScreen = 3000.0 / 729; // a 3000 x 2000 photo in the fitted panel
constexpr double kSightingNoise = 0.3;                 // screen pixels: the eye's aim at a mark

struct Scenario {
    const char* placement;
    double fitError; // photo pixels, for a centre found by a double-click; < 0 for a drag
    bool bothSides;  // marks either side of the centre, or one mark only
};

struct Trial {
    double error, stated;
};

double wrap90(double d) {
    while (d > 90)
        d -= 180;
    while (d <= -90)
        d += 180;
    return d;
}

// Distance of a point from the line through a and b.
double distanceFromLine(const QPointF& p, const QPointF& a, const QPointF& b) {
    const QPointF d = b - a;
    return std::abs(d.x() * (p.y() - a.y()) - d.y() * (p.x() - a.x())) / std::hypot(d.x(), d.y());
}

Trial readOnce(std::mt19937& random, double photoPerScreen, const Scenario& s) {
    std::uniform_real_distribution<double> axisOf(0, 180), radiusOf(150, 600), shift(-300, 300);
    std::normal_distribution<double> normal(0, 1);
    const double truth = axisOf(random), r = radiusOf(random);
    const QPointF centre(1500 + shift(random), 1000 + shift(random) / 2);
    const QPointF u(std::cos(truth * kDegree), -std::sin(truth * kDegree));
    // The marks as the screen shows them: at its pixels, seen with the eye's own aim.
    const auto seen = [&](const QPointF& photo) {
        const QPointF screen = photo / photoPerScreen;
        return QPointF(std::round(screen.x()) + kSightingNoise * normal(random),
                       std::round(screen.y()) + kSightingNoise * normal(random));
    };
    std::vector<QPointF> marks = {seen(centre + r * u)};
    if (s.bothSides)
        marks.push_back(seen(centre - r * u));
    // The centre: dragged onto the eye's centre as seen, landing on a screen pixel; or found.
    QPointF placed;
    if (s.fitError < 0) {
        const QPointF aim =
            centre / photoPerScreen + kSightingNoise * QPointF(normal(random), normal(random));
        placed = QPointF(std::round(aim.x()), std::round(aim.y())) * photoPerScreen;
    } else {
        placed = centre + s.fitError * QPointF(normal(random), normal(random));
    }
    // The guide line as the gauge draws it: whole degrees, its ends rounded to the screen's pixels.
    const QPoint c(int(std::lround(placed.x() / photoPerScreen)),
                   int(std::lround(placed.y() / photoPerScreen)));
    const double reach = 1.5 * r / photoPerScreen;
    int best = 0;
    double bestCost = 1e300;
    for (int g = int(std::floor(truth)) - 12; g <= int(std::ceil(truth)) + 12; ++g) {
        const QPoint e(roundHalfEven(reach * std::cos(g * kDegree)),
                       roundHalfEven(reach * std::sin(g * kDegree)));
        const QPointF a(c.x() + e.x(), c.y() - e.y()), b(c.x() - e.x(), c.y() + e.y());
        double cost = 0;
        for (const QPointF& m : marks)
            cost += std::pow(distanceFromLine(m, a, b), 2);
        if (cost < bestCost)
            bestCost = cost, best = g;
    }
    using namespace reading_error;
    const double sigma = s.fitError < 0 ? centreSigma(CentrePlacement::Dragged, photoPerScreen)
                                        : centreSigma(CentrePlacement::Found, photoPerScreen, s.fitError);
    return {wrap90(best - truth), axisError({1, r, photoPerScreen, sigma, s.bothSides}).total};
}

void printCalibration(const std::vector<Trial>& all) {
    std::printf("\ncalibration: stated 95 %% half-width against the actual error\n");
    std::printf("%-12s %7s %9s %12s %12s\n", "stated", "n", "covered", "mean stated", "p95 actual");
    const double bands[] = {0, 0.6, 1, 2, 4, 1e9};
    for (int b = 0; b + 1 < 6; ++b) {
        std::vector<double> actual, stated;
        int covered = 0;
        for (const Trial& t : all)
            if (t.stated >= bands[b] && t.stated < bands[b + 1]) {
                actual.push_back(std::abs(t.error));
                stated.push_back(t.stated);
                covered += std::abs(t.error) <= t.stated;
            }
        if (actual.empty())
            continue;
        double mean = 0;
        for (double v : stated)
            mean += v / stated.size();
        std::printf("%4.1f-%-7.1f %7zu %8.1f%% %12.2f %12.2f\n", bands[b], std::min(bands[b + 1], 99.0),
                    actual.size(), 100.0 * covered / actual.size(), mean, percentile(actual, 0.95));
    }
}

} // namespace

int main(int argc, char** argv) {
    int trials = 4000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--trials")
            trials = std::max(1, std::atoi(argv[++i]));
    std::mt19937 random(2026);
    const Scenario scenarios[] = {{"dragged", -1, true},           {"found 1 px", 1, true},
                                  {"found 3 px", 3, true},         {"1 mark dragged", -1, false},
                                  {"1 mark found 1 px", 1, false}, {"1 mark found 3 px", 3, false}};
    std::vector<Trial> all;
    double worstLow = 100, worstHigh = 0;
    std::printf("%-18s %6s %9s %9s %14s %12s\n", "centre", "zoom", "photo/scr", "covered", "median stated",
                "p95 actual");
    for (const Scenario& s : scenarios)
        for (double zoom : {1.0, 2.0, 4.0, 8.0, 16.0, 32.0}) {
            const double photoPerScreen = std::max(kFittedPhotoPerScreen / zoom, 1.0 / 8);
            std::vector<double> stated, actual;
            int covered = 0;
            for (int i = 0; i < trials; ++i) {
                const Trial t = readOnce(random, photoPerScreen, s);
                all.push_back(t);
                stated.push_back(t.stated);
                actual.push_back(std::abs(t.error));
                covered += std::abs(t.error) <= t.stated;
            }
            const double share = 100.0 * covered / trials;
            worstLow = std::min(worstLow, share);
            worstHigh = std::max(worstHigh, share);
            std::printf("%-18s %6.0f %9.3f %8.1f%% %14.2f %12.2f\n", s.placement, zoom, photoPerScreen, share,
                        percentile(stated, 0.5), percentile(actual, 0.95));
        }
    printCalibration(all);
    std::printf("\ncoverage over every zoom and placement: %.1f%% to %.1f%% (target 90-98 %%)\n", worstLow,
                worstHigh);
    return 0;
}
