#pragma once

// engine/core: what every other room of the engine stands on. The bitmap handle, the page size
// limit, the job record and the run context, why a file failed, the page metadata kept across
// the steps, output naming, library messages and the progress a worker shares. It includes
// nothing from the rooms above it: formats, decode, steps, write, inputs, run, in that order.

#include <FreeImage.h>

#include <utility>

// Owns one FreeImage bitmap. Pipeline steps take a Bitmap by value and return the Bitmap that
// replaces it, so exactly one page image is alive per step and every exit path frees it.
class Bitmap {
public:
    Bitmap() = default;
    explicit Bitmap(FIBITMAP* dib) noexcept : dib_(dib) {}
    ~Bitmap() { reset(); }

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    Bitmap(Bitmap&& other) noexcept : dib_(std::exchange(other.dib_, nullptr)) {}
    Bitmap& operator=(Bitmap&& other) noexcept
    {
        if (this != &other) {
            reset(std::exchange(other.dib_, nullptr));
        }
        return *this;
    }

    FIBITMAP* get() const noexcept { return dib_; }
    FIBITMAP* release() noexcept { return std::exchange(dib_, nullptr); }
    void reset(FIBITMAP* dib = nullptr) noexcept
    {
        if (dib_ != nullptr && dib_ != dib) {
            FreeImage_Unload(dib_);
        }
        dib_ = dib;
    }

    explicit operator bool() const noexcept { return dib_ != nullptr; }
    bool empty() const noexcept { return dib_ == nullptr; }

    unsigned width() const noexcept { return dib_ ? FreeImage_GetWidth(dib_) : 0; }
    unsigned height() const noexcept { return dib_ ? FreeImage_GetHeight(dib_) : 0; }
    unsigned bpp() const noexcept { return dib_ ? FreeImage_GetBPP(dib_) : 0; }

private:
    FIBITMAP* dib_ = nullptr;
};
