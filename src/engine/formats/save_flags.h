#pragma once

#include "app/settings.h"

// The writer flags of each format with options, from its Output settings: each choice gives the flag
// its row of app/setting_choices.h names. Each function is named by its format's catalogue row, which
// computeSaveFlags (engine/formats/format_catalogue.h) looks up. A stored number that names no row
// adds nothing.
int bmpSaveFlags(const OutputSettings& output);
int exrSaveFlags(const OutputSettings& output);
int jpegSaveFlags(const OutputSettings& output);
int jxrSaveFlags(const OutputSettings& output);
int pngSaveFlags(const OutputSettings& output);
int tgaSaveFlags(const OutputSettings& output);
int tiffSaveFlags(const OutputSettings& output);
int webpSaveFlags(const OutputSettings& output);
