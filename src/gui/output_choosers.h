#pragma once

#include "app/settings.h"

#include <QIcon>
#include <QString>

class QComboBox;

// The two choosers below the file list, filled from the format catalogue and the settings.

// One entry per output format in catalogue order, each with `icon` and its position in the output
// format list as its data; the entry of `selectedKey` is selected (the first one when none matches).
// With descriptions the text is "JPG (JPEG - JFIF Compliant)", without it "JPG".
void fillOutputFormats(QComboBox& combo, bool withDescription, const QString& selectedKey, const QIcon& icon);

// The output format key of the selected entry; empty when nothing is selected.
QString selectedOutputFormat(const QComboBox& combo);

// Refills the output folder chooser from the history, each entry with `icon`, selecting the entry
// equal to `outputFolder` (the first one when none is). Does nothing while the history is empty.
void fillFolderHistory(QComboBox& combo, const Settings& settings, const QString& outputFolder, const QIcon& icon);
