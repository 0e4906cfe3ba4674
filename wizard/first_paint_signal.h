#pragma once
// first_paint_signal.h: a quiet hook for the start-up benchmark: when the
// environment names an event in TAMSA_FIRST_PAINT_EVENT, the first wizard
// page painted sets it. Without the variable nothing happens.
void SignalFirstPagePainted();
