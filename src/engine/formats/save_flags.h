#pragma once

#include "app/settings.h"

#include <QString>

// The writer flags of an output format, computed once per run from the Output settings by the
// format's catalogue row: FreeImage's save flags for the FreeImage formats (jpg 95 |
// JPEG_SUBSAMPLING_444 by default, png PNG_Z_NO_COMPRESSION, tiff TIFF_NONE), JXR_LOSSLESS for jxr,
// 0 for keys without options.
int computeSaveFlags(const QString& outputKey, const Settings& settings);

// The flags of each format with options, as its catalogue row names them. A choice outside its
// range adds nothing.
int bmpSaveFlags(const OutputSettings& output);
int exrSaveFlags(const OutputSettings& output);
int jpegSaveFlags(const OutputSettings& output);
int jxrSaveFlags(const OutputSettings& output);
int pngSaveFlags(const OutputSettings& output);
int tgaSaveFlags(const OutputSettings& output);
int tiffSaveFlags(const OutputSettings& output);
int webpSaveFlags(const OutputSettings& output);

// The depth Auto picks: the first permitted depth of the format that is at least sourceBpp, or
// the format's largest depth when none is. 0 for an unknown key.
int autoBitDepth(const QString& outputKey, int sourceBpp);
