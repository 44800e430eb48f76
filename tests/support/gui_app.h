#pragma once

namespace testsupport {

// Makes sure a QGuiApplication exists (offscreen platform) for tests that use fonts or draw text.
// It lives until the process ends.
void ensureGuiApplication();

} // namespace testsupport
