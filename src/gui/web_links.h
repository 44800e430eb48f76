#pragma once

#include "app/program_info.h"

#include <QString>

// The things the Help menu hands to the desktop: the user manual, the feedback mail and the
// product page. Everything goes through openDocument.

// Asks the desktop to open a file (an absolute path), a web address or a mailto address with the
// program the user has chosen for it. The result is not checked: a missing browser or mail program
// gives whatever the desktop shows by itself.
void openDocument(const QString& document);

// The user manual, "tessaline.html" in the program's data folder (with its trailing "/").
QString manualPath(const QString& folder = programDataFolder());

// Opens the user manual; when it is not there, nothing is opened and nothing is said.
void openManual(const QString& folder = programDataFolder());

// A mail to the support address with the subject "<program title> Feedback".
void openFeedbackMail();

void openProductPage();
