#pragma once

#include "app/settings.h"
#include "engine/core/bitmap.h"
#include "engine/core/run_context.h"

#include <QFont>
#include <QString>

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

// The watermark alone before rotation and placement (32-bit with alpha), or empty when it cannot be
// rendered. Text watermarks use `expandedText`; picture watermarks ignore it.
Bitmap renderWatermark(const Settings& settings, const WatermarkAssets* assets, const QString& expandedText);
