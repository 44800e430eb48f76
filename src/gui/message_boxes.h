#pragma once

#include <QString>

// The message boxes of the windowed mode. Each shows a catalogue text (usually after
// substituteMessage), is owned by the program's active window when there is one, and returns when
// the user has closed it.

// Title "Warning", warning icon, OK.
void showWarning(const QString& text);
// Title "Error", error icon, OK.
void showError(const QString& text);
// Caller's title, information icon, OK.
void showInformation(const QString& title, const QString& text);
// Caller's title, question icon, Yes and No; true for Yes.
bool askQuestion(const QString& title, const QString& text);
// Title "Warning", warning icon, Yes and No; true for Yes.
bool askWarning(const QString& text);
