#include "engine/decode/tiff_tag_values.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct TagDeleter {
    void operator()(FITAG* tag) const { FreeImage_DeleteTag(tag); }
};
using TagHandle = std::unique_ptr<FITAG, TagDeleter>;

// A counted tag's values: libtiff hands the count as 32 bits when the tag may hold more than
// 65535 values, as 16 bits otherwise.
bool countedValues(TIFF* tiff, ttag_t id, const TIFFField* field, std::uint32_t& count, const void*& data)
{
    void* values = nullptr;
    if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
        std::uint32_t n = 0;
        if (TIFFGetField(tiff, id, &n, &values) != 1) {
            return false;
        }
        count = n;
    } else {
        std::uint16_t n = 0;
        if (TIFFGetField(tiff, id, &n, &values) != 1) {
            return false;
        }
        count = n;
    }
    data = values;
    return values != nullptr || count == 0;
}

// Tags whose two values libtiff hands out one by one although their count is fixed at two.
bool handedOutSingly(ttag_t id)
{
    switch (id) {
    case TIFFTAG_PAGENUMBER:
    case TIFFTAG_HALFTONEHINTS:
    case TIFFTAG_YCBCRSUBSAMPLING:
    case TIFFTAG_DOTRANGE:
    case TIFFTAG_BITSPERSAMPLE:
    case TIFFTAG_COMPRESSION:
        return true;
    default:
        return false;
    }
}

bool isRational(TIFFDataType type)
{
    return type == TIFF_RATIONAL || type == TIFF_SRATIONAL;
}

// libtiff keeps a rational as a float or, for some tags, as a double.
int rationalStorage(const TIFFField* field)
{
    return TIFFFieldSetGetSize(field) == 8 ? 8 : 4;
}

float rationalAt(const unsigned char* values, int storage, std::uint32_t index)
{
    if (storage == 8) {
        double value = 0;
        std::memcpy(&value, values + static_cast<std::size_t>(index) * 8, 8);
        return static_cast<float>(value);
    }
    float value = 0;
    std::memcpy(&value, values + static_cast<std::size_t>(index) * 4, 4);
    return value;
}

// The length of a text libtiff holds, its closing NUL included, never past `limit` bytes.
DWORD textLength(const char* text, std::size_t limit)
{
    return static_cast<DWORD>(std::min(strnlen(text, limit) + 1, limit));
}

} // namespace

void setTagValue(const Bitmap& page, FREE_IMAGE_MDMODEL model, const char* key, WORD id, FREE_IMAGE_MDTYPE type,
                 DWORD count, DWORD length, const void* value)
{
    const TagHandle tag(FreeImage_CreateTag());
    if (!tag) {
        return;
    }
    FreeImage_SetTagKey(tag.get(), key);
    FreeImage_SetTagID(tag.get(), id);
    FreeImage_SetTagType(tag.get(), type);
    FreeImage_SetTagCount(tag.get(), count);
    FreeImage_SetTagLength(tag.get(), length);
    FreeImage_SetTagValue(tag.get(), value);
    FreeImage_SetMetadata(model, page.get(), key, tag.get());
}

bool tagIsSet(TIFF* tiff, ttag_t id)
{
    const int count = TIFFGetTagListCount(tiff);
    for (int i = 0; i < count; ++i) {
        if (TIFFGetTagListEntry(tiff, i) == id) {
            return true;
        }
    }
    return false;
}

std::optional<QByteArray> byteArrayTag(TIFF* tiff, ttag_t id)
{
    const TIFFField* field = TIFFFindField(tiff, id, TIFF_ANY);
    if (field == nullptr || TIFFFieldPassCount(field) == 0 || !tagIsSet(tiff, id)) {
        return std::nullopt;
    }
    std::uint32_t count = 0;
    const void* data = nullptr;
    if (!countedValues(tiff, id, field, count, data) || data == nullptr) {
        return std::nullopt;
    }
    const auto width = static_cast<qsizetype>(std::max(1, TIFFFieldSetGetSize(field)));
    return QByteArray(static_cast<const char*>(data), static_cast<qsizetype>(count) * width);
}

void attachTagValue(const Bitmap& page, TIFF* tiff, ttag_t id, FREE_IMAGE_MDMODEL model, const char* key,
                    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& exact)
{
    const TIFFField* field = TIFFFindField(tiff, id, TIFF_ANY);
    // libtiff cannot hand the transfer function back through this interface.
    if (field == nullptr || id == TIFFTAG_TRANSFERFUNCTION) {
        return;
    }
    const TIFFDataType type = TIFFFieldDataType(field);
    const int readCount = TIFFFieldReadCount(field);
    const int width = TIFFDataWidth(type);
    std::uint32_t count = 0;
    const void* data = nullptr;
    bool counted = TIFFFieldPassCount(field) != 0;
    std::array<unsigned char, 32> single{}; // room for two values of any width
    if (counted) {
        if (!countedValues(tiff, id, field, count, data)) {
            return;
        }
    } else {
        if (readCount == TIFF_VARIABLE || readCount == TIFF_VARIABLE2) {
            count = 1;
        } else if (readCount == TIFF_SPP) {
            std::uint16_t samples = 1;
            TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
            count = samples;
        } else {
            count = static_cast<std::uint32_t>(readCount);
        }
        const bool byPointer = (type == TIFF_ASCII || readCount < 0 || count > 1) && !handedOutSingly(id);
        if (byPointer) {
            void* values = nullptr;
            if (TIFFGetField(tiff, id, &values) != 1) {
                return;
            }
            data = values;
        } else {
            const int step = isRational(type) ? rationalStorage(field) : width;
            int got = 0;
            if (count == 1) {
                got = TIFFGetField(tiff, id, single.data());
            } else if (count == 2) {
                got = TIFFGetField(tiff, id, single.data(), single.data() + step);
            }
            if (got != 1) {
                return;
            }
            data = single.data();
        }
    }
    if (data == nullptr) {
        return;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (isRational(type)) {
        const int storage = rationalStorage(field);
        std::vector<std::uint32_t> terms(static_cast<std::size_t>(count) * 2);
        const bool fromFile = exact.size() == count;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (fromFile) {
                terms[2 * i] = exact[i].first;
                terms[2 * i + 1] = exact[i].second;
                continue;
            }
            const auto [numerator, denominator] = rationalFromFloat(rationalAt(bytes, storage, i));
            terms[2 * i] = static_cast<std::uint32_t>(numerator);
            terms[2 * i + 1] = static_cast<std::uint32_t>(denominator);
        }
        setTagValue(page, model, key, static_cast<WORD>(id), FIDT_RATIONAL, count, count * 8, terms.data());
        return;
    }
    if (type == TIFF_ASCII) {
        // A text of open length is as long as it is; a counted or fixed-size one fills its count,
        // padded with NULs where libtiff's copy ends early.
        const bool openLength = data != single.data() && readCount == TIFF_VARIABLE;
        const auto* text = static_cast<const char*>(data);
        const std::size_t held = counted ? count : SIZE_MAX; // what libtiff holds, where it says
        const DWORD length = openLength ? textLength(text, held) : count;
        std::vector<char> value(length + 1, '\0');
        std::memcpy(value.data(), text, counted ? std::min<std::size_t>(length, count) : textLength(text, length));
        setTagValue(page, model, key, static_cast<WORD>(id), FIDT_ASCII, length, length, value.data());
        return;
    }
    // Values held wider or narrower than their type would be misread: leave such a tag out.
    const int storage = TIFFFieldSetGetSize(field);
    if (width <= 0 || (data != single.data() && storage > 0 && storage != width && !handedOutSingly(id))) {
        return;
    }
    setTagValue(page, model, key, static_cast<WORD>(id), static_cast<FREE_IMAGE_MDTYPE>(type), count,
                count * static_cast<DWORD>(width), data);
}

void attachGeoTiffTag(const Bitmap& page, TIFF* tiff, const TIFFField* field, const char* key)
{
    const ttag_t id = TIFFFieldTag(field);
    const TIFFDataType type = TIFFFieldDataType(field);
    std::uint32_t count = 0;
    const void* data = nullptr;
    if (type == TIFF_ASCII) {
        std::size_t limit = SIZE_MAX;
        if (TIFFFieldPassCount(field) != 0) {
            if (!countedValues(tiff, id, field, count, data) || count == 0) {
                return;
            }
            limit = count;
        } else {
            void* text = nullptr;
            if (TIFFGetField(tiff, id, &text) != 1) {
                return;
            }
            data = text;
        }
        if (data == nullptr) {
            return;
        }
        const auto* text = static_cast<const char*>(data);
        const auto length = static_cast<DWORD>(strnlen(text, limit) + 1);
        std::vector<char> value(length, '\0');
        std::memcpy(value.data(), text, length - 1);
        setTagValue(page, FIMD_GEOTIFF, key, static_cast<WORD>(id), FIDT_ASCII, length, length, value.data());
        return;
    }
    const int width = TIFFDataWidth(type);
    if (TIFFFieldPassCount(field) == 0 || TIFFFieldSetGetSize(field) != width ||
        !countedValues(tiff, id, field, count, data) || data == nullptr) {
        return;
    }
    setTagValue(page, FIMD_GEOTIFF, key, static_cast<WORD>(id), static_cast<FREE_IMAGE_MDTYPE>(type), count,
                count * static_cast<DWORD>(width), data);
}

void readResolution(const Bitmap& page, TIFF* tiff)
{
    float x = 300;
    float y = 300;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y);
    if (unit == RESUNIT_NONE && x > 0 && y > 0) {
        unit = RESUNIT_INCH;
    }
    double perUnit = 0;
    if (unit == RESUNIT_INCH) {
        perUnit = 1 / 0.0254;
    } else if (unit == RESUNIT_CENTIMETER) {
        perUnit = 100;
    } else {
        return;
    }
    // Rounded half up; a value no unsigned count of dots can hold (negative, huge, NaN) is left
    // at the bitmap's own.
    const auto dots = [perUnit](float perUnitValue) -> std::optional<unsigned> {
        const double value = (perUnit == 100 ? perUnitValue * 100.0 : perUnitValue / 0.0254) + 0.5;
        if (!(value >= 0 && value < 4294967296.0)) {
            return std::nullopt;
        }
        return static_cast<unsigned>(value);
    };
    if (const auto dotsX = dots(x)) {
        FreeImage_SetDotsPerMeterX(page.get(), *dotsX);
    }
    if (const auto dotsY = dots(y)) {
        FreeImage_SetDotsPerMeterY(page.get(), *dotsY);
    }
}

std::pair<std::int32_t, std::int32_t> rationalFromFloat(float value)
{
    constexpr float int32Limit = 2147483648.0F;
    if (!std::isfinite(value)) {
        return {0, 0};
    }
    if (std::fabs(value) < int32Limit && value == static_cast<float>(static_cast<std::int32_t>(value))) {
        return {static_cast<std::int32_t>(value), 1};
    }
    float x = std::fabs(value);
    const std::int32_t sign = value > 0 ? 1 : -1;
    // At most four terms of the continued fraction of |value|.
    std::array<std::int64_t, 4> terms{};
    int last = -1;
    for (int k = 0; k < 4; ++k) {
        if (!(x < int32Limit)) {
            break;
        }
        terms[k] = static_cast<std::int64_t>(std::floor(x));
        last = k;
        x -= static_cast<float>(terms[k]);
        if (x == 0) {
            break;
        }
        x = 1 / x;
    }
    if (last < 0) {
        return {0, 0};
    }
    std::int64_t numerator = 1;
    std::int64_t denominator = terms[last];
    for (int i = last - 1; i >= 0; --i) {
        if (terms[i] == 0) {
            break;
        }
        const std::int64_t next = terms[i] * numerator + denominator;
        denominator = numerator;
        numerator = next;
    }
    return {static_cast<std::int32_t>(numerator * sign), static_cast<std::int32_t>(denominator)};
}
