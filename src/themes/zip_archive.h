#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>
#include <vector>

// Reading ZIP archives through libarchive: an index of the entries and their uncompressed sizes,
// and entries decompressed into memory by their exact name. Every read opens its own libarchive
// handle, so an archive object holds no handle between calls.
class ZipArchive {
  public:
    // Entries larger than this are never decompressed: a picture or a configuration of a theme
    // pack is a few kilobytes, and an index entry may claim any size.
    static constexpr qint64 maxEntryBytes = 16 * 1024 * 1024;

    // nullopt when the file does not exist, is empty or cannot be read as a ZIP archive.
    static std::optional<ZipArchive> open(const QString& path);

    // Entry name -> uncompressed size, for every entry whose size is greater than 0.
    const QHash<QString, qint64>& index() const { return index_; }

    // The named entries that are in the index, each decompressed up to its indexed size (and at
    // most maxBytes); an entry that cannot be decompressed is left out.
    QHash<QString, QByteArray> read(const QSet<QString>& names, qint64 maxBytes = maxEntryBytes) const;
    // One entry, or an empty array when it is missing or cannot be decompressed.
    QByteArray read(const QString& name, qint64 maxBytes = maxEntryBytes) const;

  private:
    explicit ZipArchive(const QString& path) : path_(path) {}

    QString path_;
    QHash<QString, qint64> index_;
};

struct ZipEntry {
    QString name;
    QByteArray data;
};

// Writes a ZIP archive (deflated entries, fixed time stamps so that equal input gives an equal
// file) through a temporary file renamed over the target. An error text when it fails.
std::optional<QString> writeZipArchive(const QString& path, const std::vector<ZipEntry>& entries);
