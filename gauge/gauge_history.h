#pragma once

#include <QUndoCommand>

#include <functional>

// What a pointer or key change of the gauge can alter, for taking it back and redoing it.
struct GaugePlacement {
    float offsetX = 0.0f; // CentreOffsetX
    float offsetY = 0.0f; // CentreOffsetY
    int guide = 0;
    int sectorStart = 0;
    int sectorEnd = 0;
    bool guideShown = false;
    bool operator==(const GaugePlacement& o) const {
        return offsetX == o.offsetX && offsetY == o.offsetY && guide == o.guide &&
               sectorStart == o.sectorStart && sectorEnd == o.sectorEnd && guideShown == o.guideShown;
    }
    bool operator!=(const GaugePlacement& o) const { return !(*this == o); }
};

// One step of the gauge's history: undo puts back the placement before, redo the one after,
// both through apply (which also redraws).
class GaugeChangeCommand : public QUndoCommand {
public:
    GaugeChangeCommand(const GaugePlacement& before, const GaugePlacement& after,
                       std::function<void(const GaugePlacement&)> apply)
        : before(before), after(after), apply(std::move(apply)) {}
    void undo() override { apply(before); }
    void redo() override { apply(after); }

private:
    GaugePlacement before;
    GaugePlacement after;
    std::function<void(const GaugePlacement&)> apply;
};
