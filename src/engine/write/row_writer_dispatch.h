#pragma once

#include "engine/formats/format_catalogue.h"
#include "engine/write/row_writer.h"

#include <cstdint>
#include <cstdio>
#include <memory>

// The row writer of each RowWriterKind (the format catalogue's rowWriter column).

// Whether `kind` has a streamed form that gives FreeImage's bytes for this page and these flags
// (some do not: an interlaced PNG, a progressive JPEG, a depth the streamed form lacks).
bool rowWriterTakes(RowWriterKind kind, int flags, const PageHeader& page);

// The row writer of `kind` writing to `file` (left open: the caller closes it and checks that),
// or nullptr when rowWriterTakes is false or the writer could not start.
std::unique_ptr<RowWriter> openRowWriter(RowWriterKind kind, int flags, const PageHeader& page, std::FILE* file);

// The bytes the row writer of `kind` holds besides the band it is given, for `page` written with
// `flags`: its row and strip buffers, and the codec's own state (libjpeg's rows of each component,
// or every coefficient of the page for a progressive or optimised JPEG; zlib's window).
std::uint64_t rowWriterMemory(RowWriterKind kind, int flags, const PageHeader& page);
