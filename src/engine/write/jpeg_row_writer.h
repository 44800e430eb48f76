#pragma once

#include "engine/write/row_writer.h"

// JPEG through libjpeg scanlines, as FreeImage's JPEG writer encodes: its quality and
// chroma-subsampling flags, its JFIF density, comment, EXIF, XMP, ICC and IPTC markers.
bool jpegRowWriterTakes(int flags, const PageHeader& page);
std::unique_ptr<RowWriter> openJpegRowWriter(int flags, const PageHeader& page, std::FILE* file);
