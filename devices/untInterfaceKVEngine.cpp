// The stroke engine's entry points. For now the engine only counts the pulses it is given;
// the stroke detection itself fills these routines.
#include "devices/untInterfaceKV.h"

void TKVInterface::ResetSession() {
    FPhase = 0;
    FPulseCount = 0;
}

void TKVInterface::UpdateModelConstants() {}

void TKVInterface::AnalysePulse(bool Split) {
    (void)Split;
    if (FState <= kvsClosed || !FDoCalculate) {
        FBusy = 0;
        return;
    }
    FBusy = 1;
    ++FPulseCount;
    FHeartCorrected = FHeartRaw;
    FBusy = 0;
}
