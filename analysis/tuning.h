#pragma once

#include <string>
#include <vector>

// Every threshold of the image analysis, one field each, with its unit and why it has that value. The
// defaults written here are the program's; the evaluation programs change a field with
// --set group.field=value to study it without recompiling. The analysis reads them through tuning().

// Double-click centring: the pupil search, the limbus choice and the checks an outline must pass.
struct OutlineTuning {};

// The search for the iris-to-sclera step, shared by centring and by a photo's own rings.
struct LimbusTuning {};

// A photo's own rings (limbus and pupil), found from that photo alone for the rotation.
struct RingsTuning {};

// The rotation between two photos: the unrolled strips, their match and the sectors' fit.
struct RotationTuning {};

struct Tuning {
    OutlineTuning outline;
    LimbusTuning limbus;
    RingsTuning rings;
    RotationTuning rotation;
};

// The tuning in force: the defaults, unless an evaluation program set a field.
const Tuning& tuning();

// Sets the field called name ("outline.minAgreement", an array's element as "rings.glareBand.1"). Set
// fields before any analysis runs: they are read without locks. False for an unknown name, or a
// value the field cannot hold (a whole-number field takes whole numbers only).
bool setTuning(const std::string& name, double value);

// Every field's name and its value now, one "name=value" each, for the evaluation programs.
std::vector<std::string> tuningValues();
