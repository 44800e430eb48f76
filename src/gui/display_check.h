#pragma once

#include <QString>

// Whether a window can be shown: the Qt platform the process would use has a display to talk to.
// Qt ends the process with an abort when its platform cannot start, so the windows that a command
// line opens ask first and report a missing display as an error line instead.
bool displayAvailable();

// The "Error: " line for a start without a display.
QString noDisplayError();
