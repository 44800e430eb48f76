#pragma once

// The photo-like content of the benchmark pages (smooth gradients, soft blobs and sensor-like
// noise, so compressors work as they do on real photographs), one row at a time.

#include <array>
#include <cmath>
#include <cstdint>

// xorshift32: small, fast and the same everywhere.
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9U : seed) {}
    std::uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int centred(int amplitude)
    {
        return static_cast<int>(next() % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
    }

  private:
    std::uint32_t state_;
};

inline int clampByte(double v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

// A smooth field of a few soft blobs over a diagonal gradient, 0..1.
inline double field(double u, double v, int seed, int channel)
{
    const double phase = seed * 0.7 + channel * 1.9;
    double value = 0.35 + 0.3 * u + 0.2 * v;
    value += 0.18 * std::sin(6.0 * u + phase) * std::cos(4.0 * v - phase);
    value += 0.12 * std::sin(17.0 * (u + v) + phase * 2.0);
    return value;
}

inline std::uint32_t photoNoiseSeed(int seed)
{
    return static_cast<std::uint32_t>(seed * 7919 + 17);
}

// Row y (from the top) of a photo-like page, three bytes a pixel; `order` gives the byte of red,
// green and blue in a pixel. Rows must be made top to bottom with one `noise` per page.
inline void photoRow(std::uint8_t* row, int y, int width, int height, int seed, Noise& noise, std::array<int, 3> order)
{
    const double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
        const double u = static_cast<double>(x) / width;
        std::uint8_t* p = row + 3 * x;
        for (int channel = 0; channel < 3; ++channel) {
            p[order[channel]] =
                static_cast<std::uint8_t>(clampByte(255.0 * field(u, v, seed, channel) + noise.centred(6)));
        }
    }
}
