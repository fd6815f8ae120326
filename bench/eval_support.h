#pragma once
// Helpers shared by the evaluation programs.

#include "analysis/tuning.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The value below which a share p of the values lie (nearest rank); NaN for none.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

// Splits one CSV line, honouring double-quoted fields.
inline QStringList csvFields(const QString& line) {
    QStringList out;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"')
                field += c, ++i;
            else
                quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    out << field;
    return out;
}

// Takes every "--set group.field=value" out of the arguments and applies it to the analysis's
// tuning; false, with the reason on stderr, for a name or value it cannot take. "--set list" prints
// every field with its value and range.
inline bool takeTuningOptions(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--set") != 0 || i + 1 >= argc) {
            argv[kept++] = argv[i];
            continue;
        }
        const std::string setting = argv[++i];
        if (setting == "list") {
            for (const TuningField& f : tuningFields())
                std::printf("%s=%.17g in %g..%g\n", f.name.c_str(), f.value, f.least, f.most);
            continue;
        }
        const size_t eq = setting.find('=');
        char* end = nullptr;
        const double value = eq == std::string::npos ? 0 : std::strtod(setting.c_str() + eq + 1, &end);
        std::string why = "not group.field=number";
        if (eq == std::string::npos || end == setting.c_str() + eq + 1 || *end ||
            !setTuning(setting.substr(0, eq), value, &why)) {
            std::fprintf(stderr, "cannot set %s: %s (--set list prints the fields and their ranges)\n",
                         setting.c_str(), why.c_str());
            return false;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}

// What every evaluation program does first, before its QGuiApplication: draws offscreen unless told
// otherwise, and applies the --set options. False when one of them cannot be taken.
inline bool startEvaluation(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return takeTuningOptions(argc, argv);
}
