#pragma once

#include "engine/core/run_context.h"
#include "engine/decode/page_loader.h"
#include "engine/run/encoded_page.h"

#include <optional>

// One page on the streamed path (page_path.h chose it): read a band of rows at a time with
// libtiff (turned first where the page is rotated by a right angle), each band through the row
// steps in the pipeline's order (flips, colour correction, greyscale, threshold, frame, watermark,
// bit depth), then into the output format's row writer, under the same temporary-file claim,
// naming and gates as encodePage. Its file is the file encodePage writes for the same page, byte
// for byte.
//
// nullopt when the page turns out not to stream after all, before anything was named or written:
// its rows are not copied as stored (tiff_band_source.h), or the row writer declines its metadata.
// The caller then converts it in memory. `stored` is the page's header as the input document read it.
std::optional<EncodedPage> encodeStreamedPage(int index, const TiffPageHeader& stored, const PagePlacement& placement,
                                              RunContext& context);
