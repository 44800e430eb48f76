#pragma once

#include <QString>

// The manual page tessaline(1) in roff (man macros): what the program does, its two ways of
// starting, every option from the option table, the exit statuses and the files it uses.
QString manPage();
