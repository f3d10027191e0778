#pragma once

class QWidget;

namespace brindlecot {

// For measuring how long the program takes to show its window: with the environment
// variable BRINDLECOT_STARTUP_PROBE set, the first time `window` has painted, standard
// error gets the line
//   Brindlecot: window "<title>" shown <ms> ms after the process started (at <epoch seconds>)
// and with BRINDLECOT_STARTUP_PROBE=exit the window is then closed, so that a script can
// time many starts. Without the variable this does nothing.
void ReportFirstPaintIfAsked(QWidget& window);

}  // namespace brindlecot
