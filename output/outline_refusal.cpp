#include "output/outline_refusal.h"

namespace {

const char kNoRoundOutline[] = "No se encontró ningún contorno redondo alrededor del punto";
const char kPupilNotSeen[] =
    "No se distingue la pupila del iris: haga doble clic sobre el iris para centrar en el limbo";
const char kRoundOutlineNextStep[] =
    "Haga doble clic en el iris, cerca del limbo, en lugar de en la pupila (o al "
    "revés), o arrastre el centro del calibre hasta el centro del ojo.";

} // namespace

const char* outlineRefusalMessage(OutlineCheck refusal) {
    return inUnseenPupil(refusal) ? kPupilNotSeen : kNoRoundOutline;
}

const char* outlineRefusalNextStep(OutlineCheck refusal) {
    return inUnseenPupil(refusal) ? nullptr : kRoundOutlineNextStep;
}
