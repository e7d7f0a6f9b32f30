// The main graph's "기준 범위" (MAIN_BAND, off at every start): the learned band of the shown
// unit's master version drawn behind its two waves, in a light colour. Off, or with no reference
// learned, the graph is as it was.
#pragma once

int Main_band(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
// Draws the band anew for the unit shown: after its cycle is judged, after a reference is learned.
void Show_reference_band();
