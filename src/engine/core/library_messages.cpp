#include "engine/core/library_messages.h"

#include <FreeImage.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

namespace {

// The one process-wide sink; the libraries' handler slots are process-wide too.
std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LibraryMessageSink& currentSink()
{
    static LibraryMessageSink sink;
    return sink;
}

void deliver(const QString& message)
{
    const std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(message);
    }
}

void freeImageMessage(FREE_IMAGE_FORMAT format, const char* message)
{
    const char* name = format == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(format);
    QString text = QString::fromLocal8Bit(message ? message : "").trimmed();
    deliver(name ? QStringLiteral("FreeImage (%1): %2").arg(QString::fromLatin1(name), text)
                 : QStringLiteral("FreeImage: %1").arg(text));
}

QString formatTiffMessage(const char* kind, const char* module, const char* format, va_list arguments)
{
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    QString text = QStringLiteral("libtiff %1").arg(QLatin1String(kind));
    if (module != nullptr && *module != '\0') {
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(module));
    }
    return text + QStringLiteral(": ") + QString::fromLocal8Bit(buffer);
}

void tiffError(const char* module, const char* format, va_list arguments)
{
    deliver(formatTiffMessage("error", module, format, arguments));
}

void tiffWarning(const char* module, const char* format, va_list arguments)
{
    deliver(formatTiffMessage("warning", module, format, arguments));
}

} // namespace

void installLibraryMessageHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        FreeImage_SetOutputMessage(freeImageMessage);
        TIFFSetErrorHandler(tiffError);
        TIFFSetWarningHandler(tiffWarning);
    });
}

LibraryMessageSink setLibraryMessageSink(LibraryMessageSink sink)
{
    installLibraryMessageHandlers();
    const std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

LibraryMessageScope::LibraryMessageScope(LibraryMessageSink sink) : previous_(setLibraryMessageSink(std::move(sink))) {}

LibraryMessageScope::~LibraryMessageScope()
{
    setLibraryMessageSink(std::move(previous_));
}
