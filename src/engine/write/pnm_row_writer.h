#pragma once

#include "engine/write/row_writer.h"

// The binary PNM family as FreeImage's PNM writer writes it: P4 for 1-bit pages (each row's bytes
// as stored, palette indices as they are), P5 for 8-bit pages (the indices), P6 for 24-bit pages
// (red, green, blue). Its ASCII forms (any flag but PNM_SAVE_RAW) and 16-bit samples stay with
// FreeImage's writer.
bool pnmRowWriterTakes(int flags, const PageHeader& page);
std::unique_ptr<RowWriter> openPnmRowWriter(int flags, const PageHeader& page, std::FILE* file);
