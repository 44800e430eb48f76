#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"
#include "engine/core/run_context.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <optional>

// What a run loads once for its watermark, owned by the starter (console run or windowed start) and
// released after the run: the text watermark's font.
struct WatermarkAssets {
    std::optional<QFont> font;
};

enum class WatermarkProblem {
    None,
    InvalidFont,  // text watermark: the face cannot be loaded (message argument: the face name)
    EmptyImage,   // image watermark: no file chosen
    InvalidImage, // image watermark: missing, a folder or empty (message argument: the path)
};

struct WatermarkAssetsResult {
    WatermarkAssets assets;
    WatermarkProblem problem = WatermarkProblem::None;
};

// The starter's watermark check and load, shared by the console and the windowed mode. Text: loads
// the watermark font (face, points, style and effect of the Watermark settings). Image: checks that
// the picture file exists and is not empty. Nothing to do when the watermark is off.
// Needs a QGuiApplication for the text font (see draw/gui_app.h).
WatermarkAssetsResult loadWatermarkAssets(const Settings& settings);
std::optional<QFont> loadWatermarkFont(const Settings& settings);
bool watermarkImageUsable(const QString& path);

// Frame or watermark on: the run draws, so it needs a QGuiApplication before the worker starts.
bool watermarkNeedsDrawing(const Settings& settings);
bool runNeedsDrawing(const Settings& settings);

// Puts the text or picture watermark onto the page: rendered on its own canvas, rotated, cut to the
// positioning area, placed at its anchor and composited. Returns the page 24-bit (unchanged when the
// watermark is off). Every failure (no font, unreadable picture, watermark outside the page) leaves
// the page without watermark. The text comes from expandWatermarkText.
Bitmap drawWatermark(Bitmap image, int width, int height, const RunContext& context);

// The same with the expanded text given, for callers that have no JobState (previews, tests).
Bitmap drawWatermarkWithText(Bitmap image, int width, int height, const Settings& settings,
                             const WatermarkAssets* assets, const QString& expandedText);

// The watermark ready to be composited: rendered, rotated, cut to its area and placed on a
// width x height page, its top-left corner at (x, y) from the page's top-left. Nothing when it cannot
// be rendered or does not lie entirely inside the page (no watermark then).
struct PlacedWatermark {
    Bitmap mark; // 32-bit with alpha
    int x = 0;
    int y = 0;
};
std::optional<PlacedWatermark> placeWatermark(int width, int height, const Settings& settings,
                                              const WatermarkAssets* assets, const QString& expandedText);

// The watermark step's own form of a page, or of a band of one: 24-bit at 8 bits per sample.
Bitmap toWatermarkable(Bitmap image);

// Composites the placed watermark onto `rows`, 24-bit consecutive rows of the page whose top row is
// page row `firstRow`, where the watermark crosses them: those rows come out as they would on the
// whole page. Rows of another width are left as they are.
void blendWatermarkRows(Bitmap& rows, int firstRow, int width, const PlacedWatermark& placed);

// The watermark text of the file in hand (expandWatermarkText, with the run's counters settled
// when it uses them); empty for a picture watermark.
QString watermarkText(const RunContext& context);

// What the watermark of a width x height page holds at its peak when the page is drawn a band of
// `rows` rows at a time: the rendered and turned watermark, and its part that crosses a band with
// the pixels under it. Estimated without rendering it (a text's size from its length and the font
// size).
std::uint64_t watermarkMemoryEstimate(int width, int height, const Settings& settings, std::uint64_t rows);

// The watermark alone before rotation and placement (32-bit with alpha), or empty when it cannot be
// rendered. Text watermarks use `expandedText`; picture watermarks ignore it.
Bitmap renderWatermark(const Settings& settings, const WatermarkAssets* assets, const QString& expandedText);
