#pragma once

#include <QString>

// Whether a window can be shown: the Qt platform the process would use has a display to talk to.
// Qt ends the process with an abort when its platform cannot start, so every start that opens a
// window (the windowed mode and the hidden modes) asks first and reports a missing display as an
// error line instead.
bool displayAvailable();

// displayAvailable(), and when there is no display, the "Error: " line saying so on standard error.
bool displayAvailableOrReported();
