#pragma once

#include "engine/write/row_writer.h"

#include <cstddef>

// JPEG through libjpeg scanlines, as FreeImage's JPEG writer encodes: its quality and
// chroma-subsampling flags, its JFIF density, comment, EXIF, XMP, ICC and IPTC markers.
bool jpegRowWriterTakes(int flags, const PageHeader& page);
std::unique_ptr<RowWriter> openJpegRowWriter(int flags, const PageHeader& page, std::FILE* file);

// The memory the writer holds for this page: libjpeg's row buffers, and for progressive or
// optimised files (which libjpeg can only write once it has every coefficient) two bytes per
// coefficient of the whole page, as much as the page's own pixels or more.
std::size_t jpegRowWriterBytes(int flags, const PageHeader& page);
