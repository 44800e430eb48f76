#include "themes/zip_archive.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

struct ReadHandleDeleter {
    void operator()(archive* handle) const { archive_read_free(handle); }
};
using ReadHandle = std::unique_ptr<archive, ReadHandleDeleter>;

struct WriteHandleDeleter {
    void operator()(archive* handle) const { archive_write_free(handle); }
};
using WriteHandle = std::unique_ptr<archive, WriteHandleDeleter>;

struct EntryDeleter {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

constexpr std::size_t readBlockBytes = 64 * 1024;

ReadHandle openForReading(const QString& path)
{
    ReadHandle handle(archive_read_new());
    if (!handle) {
        return {};
    }
    // The central directory is the archive's own list of entries and sizes; a file cut short
    // has none and is not read at all.
    archive_read_support_format_zip_seekable(handle.get());
    const QByteArray encoded = QFile::encodeName(path);
    if (archive_read_open_filename(handle.get(), encoded.constData(), readBlockBytes) != ARCHIVE_OK) {
        return {};
    }
    return handle;
}

// The next entry header; nullptr at the end of the archive or when it cannot be read. A warning
// (for example a name that does not convert to the locale) still gives the entry.
archive_entry* nextEntry(archive* handle)
{
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(handle, &entry);
    return result == ARCHIVE_OK || result == ARCHIVE_WARN ? entry : nullptr;
}

QString entryName(archive_entry* entry)
{
    if (const char* utf8 = archive_entry_pathname_utf8(entry)) {
        return QString::fromUtf8(utf8);
    }
    const char* raw = archive_entry_pathname(entry);
    return raw ? QString::fromLocal8Bit(raw) : QString();
}

// The data of the current entry, at most limit bytes; nullopt when decompression fails.
std::optional<QByteArray> readEntryData(archive* handle, qint64 limit)
{
    QByteArray data;
    char block[readBlockBytes];
    while (data.size() < limit) {
        const qint64 wanted = std::min<qint64>(static_cast<qint64>(sizeof block), limit - data.size());
        const la_ssize_t got = archive_read_data(handle, block, static_cast<std::size_t>(wanted));
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        data.append(block, static_cast<qsizetype>(got));
    }
    return data;
}

} // namespace

std::optional<ZipArchive> ZipArchive::open(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || file.size() <= 0) {
        return std::nullopt;
    }
    const ReadHandle handle = openForReading(path);
    if (!handle) {
        return std::nullopt;
    }
    ZipArchive zip(path);
    while (true) {
        archive_entry* entry = nullptr;
        const int result = archive_read_next_header(handle.get(), &entry);
        if (result == ARCHIVE_EOF) {
            break;
        }
        if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
            return std::nullopt;
        }
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0) {
            zip.index_.insert(entryName(entry), archive_entry_size(entry));
        }
    }
    return zip;
}

QHash<QString, QByteArray> ZipArchive::read(const QSet<QString>& names, qint64 maxBytes) const
{
    QHash<QString, QByteArray> found;
    const ReadHandle handle = openForReading(path_);
    if (!handle) {
        return found;
    }
    while (archive_entry* entry = nextEntry(handle.get())) {
        const QString name = entryName(entry);
        const auto indexed = index_.constFind(name);
        if (!names.contains(name) || indexed == index_.cend() || *indexed > maxEntryBytes) {
            continue;
        }
        std::optional<QByteArray> data = readEntryData(handle.get(), std::min(*indexed, maxBytes));
        if (!data) {
            break; // the archive is damaged from here on
        }
        found.insert(name, *data);
    }
    return found;
}

QByteArray ZipArchive::read(const QString& name, qint64 maxBytes) const
{
    return read(QSet<QString>{name}, maxBytes).value(name);
}

namespace {

la_ssize_t appendToBuffer(archive*, void* buffer, const void* data, std::size_t size)
{
    static_cast<QByteArray*>(buffer)->append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    return static_cast<la_ssize_t>(size);
}

// A fixed time stamp (2026-01-01) keeps generated packs byte-for-byte reproducible.
constexpr time_t entryTime = 1767225600;

bool writeEntry(archive* handle, const ZipEntry& zipEntry)
{
    const Entry entry(archive_entry_new());
    const QByteArray name = zipEntry.name.toUtf8();
    archive_entry_set_pathname_utf8(entry.get(), name.constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), zipEntry.data.size());
    archive_entry_set_mtime(entry.get(), entryTime, 0);
    if (archive_write_header(handle, entry.get()) != ARCHIVE_OK) {
        return false;
    }
    const auto size = static_cast<std::size_t>(zipEntry.data.size());
    return archive_write_data(handle, zipEntry.data.constData(), size) == static_cast<la_ssize_t>(size);
}

} // namespace

std::optional<QString> writeZipArchive(const QString& path, const std::vector<ZipEntry>& entries)
{
    QByteArray bytes;
    {
        const WriteHandle handle(archive_write_new());
        archive_write_set_format_zip(handle.get());
        archive_write_set_bytes_in_last_block(handle.get(), 1);
        if (archive_write_open(handle.get(), &bytes, nullptr, appendToBuffer, nullptr) != ARCHIVE_OK) {
            return QString::fromUtf8(archive_error_string(handle.get()));
        }
        for (const ZipEntry& entry : entries) {
            if (!writeEntry(handle.get(), entry)) {
                return entry.name + ": " + QString::fromUtf8(archive_error_string(handle.get()));
            }
        }
        if (archive_write_close(handle.get()) != ARCHIVE_OK) {
            return QString::fromUtf8(archive_error_string(handle.get()));
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return path + ": " + file.errorString();
    }
    return std::nullopt;
}
