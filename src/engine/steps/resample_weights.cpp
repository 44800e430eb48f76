#include "engine/steps/resample_weights.h"

#include <algorithm>
#include <cmath>

// Each kernel keeps FreeImage's expression as written: a form that is equal on paper rounds
// differently in the last bit, and a weight one unit in the last place apart can round a level the
// other way.

namespace {

// Mitchell and Netravali's cubic with B = C = 1/3, its coefficients evaluated as FreeImage does.
constexpr double mitchellB = 1 / static_cast<double>(3);
constexpr double mitchellC = 1 / static_cast<double>(3);
constexpr double mitchellP0 = (6 - 2 * mitchellB) / 6;
constexpr double mitchellP2 = (-18 + 12 * mitchellB + 6 * mitchellC) / 6;
constexpr double mitchellP3 = (12 - 9 * mitchellB - 6 * mitchellC) / 6;
constexpr double mitchellQ0 = (8 * mitchellB + 24 * mitchellC) / 6;
constexpr double mitchellQ1 = (-12 * mitchellB - 48 * mitchellC) / 6;
constexpr double mitchellQ2 = (6 * mitchellB + 30 * mitchellC) / 6;
constexpr double mitchellQ3 = (-mitchellB - 6 * mitchellC) / 6;

double mitchell(double x)
{
    x = std::fabs(x);
    if (x < 1) {
        return mitchellP0 + x * x * (mitchellP2 + x * mitchellP3);
    }
    if (x < 2) {
        return mitchellQ0 + x * (mitchellQ1 + x * (mitchellQ2 + x * mitchellQ3));
    }
    return 0;
}

// Catmull-Rom is written per side of zero rather than on |x|: the two forms round differently.
double catmullRom(double x)
{
    if (x < -2) {
        return 0;
    }
    if (x < -1) {
        return 0.5 * (4 + x * (8 + x * (5 + x)));
    }
    if (x < 0) {
        return 0.5 * (2 + x * x * (-5 - 3 * x));
    }
    if (x < 1) {
        return 0.5 * (2 + x * x * (-5 + 3 * x));
    }
    if (x < 2) {
        return 0.5 * (4 + x * (-8 + x * (5 - x)));
    }
    return 0;
}

double cubicBSpline(double x)
{
    x = std::fabs(x);
    if (x < 1) {
        return (4 + x * x * (-6 + 3 * x)) / 6;
    }
    if (x < 2) {
        const double t = 2 - x;
        return t * t * t / 6;
    }
    return 0;
}

double sinc(double x)
{
    if (x == 0) {
        return 1;
    }
    const double angle = x * 3.1415926535897932384626433832795;
    return std::sin(angle) / angle;
}

double kernel(FREE_IMAGE_FILTER filter, double x)
{
    switch (filter) {
    case FILTER_BOX:
        return std::fabs(x) <= 0.5 ? 1.0 : 0.0;
    case FILTER_BILINEAR:
        x = std::fabs(x);
        return x < 1.0 ? 1.0 - x : 0.0;
    case FILTER_BSPLINE:
        return cubicBSpline(x);
    case FILTER_BICUBIC:
        return mitchell(x);
    case FILTER_CATMULLROM:
        return catmullRom(x);
    case FILTER_LANCZOS3:
        x = std::fabs(x);
        return x < 3.0 ? sinc(x) * sinc(x / 3.0) : 0.0;
    }
    return 0.0;
}

} // namespace

double kernelSupport(FREE_IMAGE_FILTER filter)
{
    switch (filter) {
    case FILTER_BOX:
        return 0.5;
    case FILTER_BILINEAR:
        return 1.0;
    case FILTER_BSPLINE:
    case FILTER_BICUBIC:
    case FILTER_CATMULLROM:
        return 2.0;
    case FILTER_LANCZOS3:
        return 3.0;
    }
    return 0.0;
}

WeightTable weightTable(FREE_IMAGE_FILTER filter, unsigned targetLength, unsigned sourceLength)
{
    const double scale = static_cast<double>(targetLength) / static_cast<double>(sourceLength);
    const double kernelScale = scale < 1.0 ? scale : 1.0;
    const double reach = scale < 1.0 ? kernelSupport(filter) / scale : kernelSupport(filter);
    const double offset = 0.5 / scale;

    WeightTable table;
    table.taps.reserve(targetLength);
    for (unsigned u = 0; u < targetLength; ++u) {
        const double centre = static_cast<double>(u) / scale + offset;
        const int left = std::max(0, static_cast<int>(centre - reach + 0.5));
        const int right = std::min(static_cast<int>(centre + reach + 0.5), static_cast<int>(sourceLength));
        const std::size_t start = table.weights.size();
        double total = 0;
        for (int s = left; s < right; ++s) {
            const double weight = kernelScale * kernel(filter, kernelScale * (static_cast<double>(s) + 0.5 - centre));
            table.weights.push_back(weight);
            total += weight;
        }
        if (total > 0 && total != 1) {
            for (std::size_t k = start; k < table.weights.size(); ++k) {
                table.weights[k] /= total;
            }
        }
        while (table.weights.size() > start && table.weights.back() == 0) {
            table.weights.pop_back();
        }
        table.taps.push_back(
            Taps{static_cast<unsigned>(left), static_cast<unsigned>(table.weights.size() - start), start});
    }
    return table;
}
