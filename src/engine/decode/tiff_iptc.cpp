#include "engine/decode/tiff_iptc.h"

#include "engine/decode/tiff_tag_names.h"
#include "engine/decode/tiff_tag_values.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint16_t recordVersion = 0x0200;
constexpr std::uint16_t supplementalCategories = 0x0214;
constexpr std::uint16_t keywords = 0x0219;
constexpr unsigned char recordMark = 0x1C;
constexpr std::size_t headerSize = 5;

struct Record {
    std::uint16_t id;
    std::size_t start; // of the data
    std::size_t length;
};

// Walks the records from the first application record (0x1C 0x02) to the first byte that starts
// none. `cut` is set to the byte where a record's declared length runs past the block.
std::vector<Record> records(const QByteArray& block, std::size_t* cut)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    const auto size = static_cast<std::size_t>(block.size());
    std::vector<Record> found;
    if (size == 0) {
        return found;
    }
    std::size_t at = 0;
    while (at + 1 < size && !(bytes[at] == recordMark && bytes[at + 1] == 0x02)) {
        ++at;
    }
    // A record needs its header and at least one more byte before the block ends.
    while (at < size && bytes[at] == recordMark && at + headerSize < size) {
        const auto id = static_cast<std::uint16_t>((bytes[at + 1] << 8) | bytes[at + 2]);
        const std::size_t length = (std::size_t{bytes[at + 3]} << 8) | bytes[at + 4];
        const std::size_t start = at + headerSize;
        if (start + length > size) {
            if (cut != nullptr) {
                *cut = at;
            }
            break;
        }
        if (length > 0) {
            found.push_back({id, start, length});
        }
        at = start + length;
    }
    return found;
}

void append(std::string& joined, const char* value)
{
    if (!joined.empty()) {
        joined += ';';
    }
    joined += value;
}

void setJoined(const Bitmap& page, std::uint16_t id, const std::string& joined)
{
    if (!joined.empty()) {
        const auto length = static_cast<DWORD>(joined.size());
        setTagValue(page, FIMD_IPTC, iptcTagName(id), id, FIDT_ASCII, length, length, joined.c_str());
    }
}

} // namespace

QString iptcProblem(const QByteArray& block)
{
    std::size_t cut = SIZE_MAX;
    records(block, &cut);
    if (cut == SIZE_MAX) {
        return {};
    }
    return QStringLiteral("its record at byte %1 runs past the end of the %2-byte block").arg(cut).arg(block.size());
}

void attachIptcRecords(const Bitmap& page, const QByteArray& block)
{
    if (block.size() > 8 && block.startsWith("Adobe_CM")) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    std::string joinedKeywords;
    std::string joinedCategories;
    for (const Record& record : records(block, nullptr)) {
        // The data with a closing NUL, and room for a 16-bit value.
        std::vector<char> value(std::max<std::size_t>(record.length + 1, 2), '\0');
        std::memcpy(value.data(), bytes + record.start, record.length);
        if (record.id == keywords) {
            append(joinedKeywords, value.data());
            continue;
        }
        if (record.id == supplementalCategories) {
            append(joinedCategories, value.data());
            continue;
        }
        const char* name = iptcTagName(record.id);
        const QByteArray fallback = "Tag 0x" + QByteArray::number(record.id, 16).rightJustified(4, '0').toUpper();
        const char* key = name != nullptr ? name : fallback.constData();
        const auto length = static_cast<DWORD>(record.length);
        if (record.id == recordVersion) {
            const auto version = static_cast<std::int16_t>((std::uint16_t{bytes[record.start]} << 8) |
                                                           (record.length > 1 ? bytes[record.start + 1] : 0));
            std::memcpy(value.data(), &version, sizeof version);
            setTagValue(page, FIMD_IPTC, key, record.id, FIDT_SSHORT, 1, length, value.data());
        } else {
            setTagValue(page, FIMD_IPTC, key, record.id, FIDT_ASCII, length, length, value.data());
        }
    }
    setJoined(page, keywords, joinedKeywords);
    setJoined(page, supplementalCategories, joinedCategories);
}
