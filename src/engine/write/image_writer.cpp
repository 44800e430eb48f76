#include "engine/write/image_writer.h"

#include "app/settings_table.h"
#include "engine/core/freeimage_file.h"
#include "engine/core/page_metadata.h"
#include "engine/formats/format_catalogue.h"
#include "engine/steps/bit_depth.h"
#include "engine/write/bmp_exact_writer.h"
#include "engine/write/devil_writer.h"
#include "engine/write/ico_writer.h"
#include "engine/write/jpeg2000_writer.h"
#include "engine/write/jxr_writer.h"
#include "engine/write/png_row_writer.h"
#include "engine/write/row_writer_dispatch.h"
#include "engine/write/temp_file_claims.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <utility>

namespace {

// Two FreeImage writers write into static buffers of the library, so two saves of theirs at the
// same time take turns: the XPM writer spells each colour's characters into one buffer (two saves
// at once mix up their colour names and the pixels come out wrong), and the HDR writer prints the
// library's version into the buffer FreeImage_GetVersion returns for its header (found by the
// thread check). The other FreeImage writers we use keep their state per call (checked against
// their sources, by the thread check and by the test that writes every format with one and with
// four workers).
std::unique_lock<std::mutex> turnForWriter(int formatId)
{
    static std::mutex sharedBufferWriters;
    const bool sharesABuffer = formatId == FIF_XPM || formatId == FIF_HDR;
    return sharesABuffer ? std::unique_lock(sharedBufferWriters) : std::unique_lock<std::mutex>();
}

bool freeImageSave(const Bitmap& image, int formatId, const QString& path, int flags)
{
    FileHandle file = openFile(path, "wb");
    if (!file) {
        return false;
    }
    const std::unique_lock turn = turnForWriter(formatId);
    const bool encoded = FreeImage_SaveToHandle(static_cast<FREE_IMAGE_FORMAT>(formatId), image.get(),
                                                stdioFreeImageIO(), file.get(), flags) != FALSE;
    // A full disk shows up when the buffered rest is written out.
    return std::fclose(file.release()) == 0 && encoded;
}

// A page the PNG row writer takes goes through it whole, so that it gives the bytes the streamed
// path gives; the others (interlaced, CMYK, depths the row writer lacks) go through FreeImage.
bool savePng(const Bitmap& image, const QString& path, int flags, const JobState& job)
{
    if (!pngWriterTakesPage(flags, image)) {
        return freeImageSave(image, FIF_PNG, path, flags);
    }
    FileHandle file = openFile(path, "wb");
    if (!file) {
        return false;
    }
    const bool encoded = writePngPage(flags, image, file.get(), encoderThreads(job));
    // A full disk shows up when the buffered rest is written out.
    return std::fclose(file.release()) == 0 && encoded;
}

// FreeImage's icon writer takes only squares of 16 to 256 pixels; the icon size cap leaves
// smaller and oblong pages as they are, and those go through our own writer.
bool saveIcon(const Bitmap& image, int formatId, const QString& path, int flags)
{
    const unsigned width = image.width();
    const bool freeImageTakesIt = width == image.height() && width >= 16 && width <= 256;
    if (freeImageTakesIt && freeImageSave(image, formatId, path, flags)) {
        return true;
    }
    return writeIcon(image, path);
}

SaveStatus writeWithFormatWriter(const Bitmap& image, const QString& path, const Settings& settings,
                                 const JobState& job)
{
    const OutputFormat& format = outputFormatFor(job.outputKey);
    if (format.writer == OutputWriter::Devil) {
        switch (writeDevilImage(image, path, job.run.formatId, format.devilMipmaps)) {
        case DevilWriteResult::Written:
            return SaveStatus::Saved;
        case DevilWriteResult::OutOfMemory:
            return SaveStatus::OutOfMemory;
        case DevilWriteResult::Failed:
            return SaveStatus::Failed;
        }
        return SaveStatus::Failed;
    }
    bool saved = false;
    const bool exactColourTable =
        format.exactColourTable != nullptr && settingInteger(settings, *format.exactColourTable) == 1;
    // An RLE-compressed BMP goes through the writer that settles the encoder's unset pad bytes.
    if (format.exactColourTable != nullptr && effectiveTargetBpp(job) == 8 &&
        (exactColourTable || (job.run.saveFlags & BMP_SAVE_RLE) != 0)) {
        saved = writeColourBmp(image, path, job.run.saveFlags, exactColourTable);
    } else if (format.writer == OutputWriter::JpegXr) {
        saved = writeJxr(image, path);
    } else if (format.writer == OutputWriter::Jpeg2000) {
        saved = takesJpeg2000Page(image) ? freeImageSave(image, job.run.formatId, path, job.run.saveFlags)
                                         : writeJpeg2000(image, path, job.run.formatId == FIF_JP2);
    } else if (format.writer == OutputWriter::Icon) {
        saved = saveIcon(image, job.run.formatId, path, job.run.saveFlags);
    } else {
        const Bitmap bilevel = withBilevelLayout(format.layout.bilevelIndex, image);
        const Bitmap& page = bilevel ? bilevel : image;
        saved =
            (format.rowWriter == RowWriterKind::Png ? savePng(page, path, job.run.saveFlags, job)
                                                    : freeImageSave(page, job.run.formatId, path, job.run.saveFlags)) &&
            (format.metadata.textTags != TextTagCarrier::TiffTags || writeTiffTextTags(image, path));
    }
    return saved ? SaveStatus::Saved : SaveStatus::Failed;
}

// Removes a file the write left, keeping the writer's errno for the caller to explain the failure.
void removeKeepingErrno(const QString& path)
{
    const int savedErrno = errno;
    QFile::remove(path);
    errno = savedErrno;
}

} // namespace

Bitmap withBilevelLayout(BilevelIndex index, const Bitmap& image)
{
    if (index == BilevelIndex::AsStored || image.bpp() != 1 || FreeImage_GetImageType(image.get()) != FIT_BITMAP) {
        return {};
    }
    const FREE_IMAGE_COLOR_TYPE wanted = index == BilevelIndex::OneIsBlack ? FIC_MINISWHITE : FIC_MINISBLACK;
    const FREE_IMAGE_COLOR_TYPE colour = FreeImage_GetColorType(image.get());
    if (colour == wanted || (colour != FIC_MINISBLACK && colour != FIC_MINISWHITE)) {
        return {};
    }
    Bitmap flipped(FreeImage_Clone(image.get()));
    if (!flipped || !FreeImage_Invert(flipped.get())) {
        return {};
    }
    RGBQUAD* palette = FreeImage_GetPalette(flipped.get());
    std::swap(palette[0], palette[1]);
    return flipped;
}

bool commitTempFile(const QString& tempPath, const QString& targetPath)
{
    // rename(2) replaces the target atomically, whatever its mode bits; QFile::rename would not
    // replace it at all.
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(targetPath).constData()) == 0) {
        return true;
    }
    removeKeepingErrno(tempPath);
    return false;
}

SaveStatus writeImageFile(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job)
{
    if (path.isEmpty()) {
        return SaveStatus::Failed;
    }
    if (!image || !FreeImage_HasPixels(image.get())) {
        QFile::remove(path); // the caller's claimed temporary file
        return SaveStatus::Failed;
    }
    const SaveStatus status = writeWithFormatWriter(image, path, settings, job);
    if (status != SaveStatus::Saved) {
        removeKeepingErrno(path);
    }
    return status;
}

SaveStatus saveImageStatus(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job)
{
    if (path.isEmpty()) {
        return SaveStatus::Failed;
    }
    const TempFileClaim temp = TempFileClaim::create(path);
    const SaveStatus status = writeImageFile(image, temp.path(), settings, job);
    if (status != SaveStatus::Saved) {
        return status;
    }
    return commitTempFile(temp.path(), path) ? SaveStatus::Saved : SaveStatus::Failed;
}

bool saveImage(const Bitmap& image, const QString& path, const Settings& settings, const JobState& job)
{
    return saveImageStatus(image, path, settings, job) == SaveStatus::Saved;
}
