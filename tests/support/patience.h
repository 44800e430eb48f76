#pragma once

// How long tests wait for the program. Under ThreadSanitizer every memory access of the program is
// checked, and Qt's start-up and drawing become many times slower (a window takes tens of seconds to
// appear on a loaded machine), so each wait for the program grows by the same factor there;
// elsewhere a wait is what the test says.
namespace e2e {

#if defined(__SANITIZE_THREAD__)
inline constexpr int slowdown = 10;
#else
inline constexpr int slowdown = 1;
#endif

constexpr int patientMs(int ms)
{
    return ms * slowdown;
}

} // namespace e2e
