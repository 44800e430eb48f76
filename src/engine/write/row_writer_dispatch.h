#pragma once

#include "engine/core/job_state.h"
#include "engine/formats/format_catalogue.h"
#include "engine/write/row_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

// The row writer of each RowWriterKind (the format catalogue's rowWriter column).

// Whether `kind` has a streamed form that gives FreeImage's bytes for this page and these flags
// (some do not: an interlaced PNG, a progressive JPEG, a depth the streamed form lacks).
bool rowWriterTakes(RowWriterKind kind, int flags, const PageHeader& page);

// The threads a page's encoder may take: its worker's, and the cores the run's workers leave free.
inline unsigned encoderThreads(const JobState& job)
{
    return 1 + static_cast<unsigned>(std::max(job.run.spareThreads, 0));
}

// The row writer of `kind` writing to `file` (left open: the caller closes it and checks that),
// or nullptr when rowWriterTakes is false or the writer could not start. A writer that can
// compress on several threads uses up to `threads` (the PNG writer); the bytes do not change.
std::unique_ptr<RowWriter> openRowWriter(RowWriterKind kind, int flags, const PageHeader& page, std::FILE* file,
                                         unsigned threads = 1);

// The bytes the row writer of `kind` holds besides the band it is given, for `page` written with
// `flags`: its row and strip buffers, and the codec's own state (libjpeg's rows of each component,
// or every coefficient of the page for a progressive or optimised JPEG; zlib's window; the groups
// of rows a PNG writer on `threads` threads holds).
std::uint64_t rowWriterMemory(RowWriterKind kind, int flags, const PageHeader& page, unsigned threads = 1);
