#pragma once

#include "online/update_check.h"

// The update check as the windowed mode shows it: its outcome in the program's message boxes, the
// product page through the desktop's open action.
UpdateCheckDialogs updateCheckDialogs();
