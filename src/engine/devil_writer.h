#pragma once

// DevIL and ILU keep global state: initialised once at start-up, shut down at exit.
class DevilLibrary {
public:
    DevilLibrary();
    ~DevilLibrary();
    DevilLibrary(const DevilLibrary&) = delete;
    DevilLibrary& operator=(const DevilLibrary&) = delete;
};
