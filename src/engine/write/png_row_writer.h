#pragma once

#include "engine/write/row_writer.h"

// PNG through libpng rows, as FreeImage's PNG writer encodes: its compression level, filters,
// chunks (pHYs, iCCP, text, XMP) and its byte order.
bool pngRowWriterTakes(int flags, const PageHeader& page);
std::unique_ptr<RowWriter> openPngRowWriter(int flags, const PageHeader& page, std::FILE* file);
