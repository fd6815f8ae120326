#pragma once
// Helpers shared by the evaluation programs.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
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
