#include "tuning.h"

#include <cmath>
#include <cstdio>
#include <variant>

namespace {

// Constant-initialised: the defaults hold before any static constructor runs.
Tuning current;

using FieldRef = std::variant<double*, float*, int*>;

struct Field {
    std::string name;
    FieldRef (*of)(Tuning&);
};

#define PELVANOR_FIELD(group, field)                                                                         \
    Field {                                                                                                  \
#group "." #field, [](Tuning & t) -> FieldRef { return &t.group.field; }                             \
    }
#define PELVANOR_ELEMENT(group, field, i)                                                                    \
    Field {                                                                                                  \
#group "." #field "." #i, [](Tuning & t) -> FieldRef { return &t.group.field[i]; }                   \
    }

// One line a field; a field missing here cannot be set from the command line.
const std::vector<Field>& fields() {
    static const std::vector<Field> all = {};
    return all;
}

#undef PELVANOR_FIELD
#undef PELVANOR_ELEMENT

} // namespace

const Tuning& tuning() {
    return current;
}

bool setTuning(const std::string& name, double value) {
    for (const Field& f : fields()) {
        if (f.name != name)
            continue;
        const FieldRef ref = f.of(current);
        if (auto d = std::get_if<double*>(&ref))
            **d = value;
        else if (auto s = std::get_if<float*>(&ref))
            **s = float(value);
        else if (value == std::floor(value) && std::abs(value) < 1e9)
            *std::get<int*>(ref) = int(value);
        else
            return false;
        return true;
    }
    return false;
}

std::vector<std::string> tuningValues() {
    std::vector<std::string> out;
    for (const Field& f : fields()) {
        const FieldRef ref = f.of(current);
        char text[64];
        std::visit([&](auto* v) { std::snprintf(text, sizeof text, "%.17g", double(*v)); }, ref);
        out.push_back(f.name + "=" + text);
    }
    return out;
}
