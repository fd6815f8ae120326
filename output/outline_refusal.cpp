#include "output/outline_refusal.h"

namespace {

const char kNoRoundOutline[] = "No se encontró ningún contorno redondo alrededor del punto";
const char kPupilNotSeen[] =
    "No se distingue la pupila del iris: haga doble clic sobre el iris para centrar en el limbo";

} // namespace

const char* outlineRefusalMessage(OutlineCheck refusal) {
    return inUnseenPupil(refusal) ? kPupilNotSeen : kNoRoundOutline;
}
