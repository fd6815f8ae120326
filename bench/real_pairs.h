#pragma once

#include <QString>

struct RealPairOptions {
    QString only;           // groups whose name holds this, all when empty
    bool addedTurns = true; // also measure each pair with a known turn added
    int jobs = 2;           // pairs measured at once
    QString dump;           // folder for each photo with its outlines drawn, none when empty
    bool pairs = true;      // measure the pairs (not only dump)
};

// Measures every ordered pair within each group of FOLDER/groups.csv and prints the tables; returns
// the program's exit status.
int evaluateRealPairs(const QString& folder, const RealPairOptions& options);
