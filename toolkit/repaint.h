// Lets the panels repaint while the one thread is held (a Delay, a plot, a wait on the serial
// port); the operator's input stays queued in Qt until the running callback returns. It needs
// only Qt's event loop, so that the port library keeps the panels painted without reaching them.
#pragma once

void RepaintPanels();
// Notes that a wait held the operator's input back, as RepaintPanels does.
void MarkInputHeld();
// Whether input was held back since the last call; the note is cleared.
bool TakeInputHeld();
