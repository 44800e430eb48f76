#include "engine/core/freeimage_file.h"

#include <QFile>

namespace {

unsigned DLL_CALLCONV readProc(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<std::FILE*>(handle)));
}

unsigned DLL_CALLCONV writeProc(void* buffer, unsigned size, unsigned count, fi_handle handle)
{
    return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<std::FILE*>(handle)));
}

int DLL_CALLCONV seekProc(fi_handle handle, long offset, int origin)
{
    return std::fseek(static_cast<std::FILE*>(handle), offset, origin);
}

long DLL_CALLCONV tellProc(fi_handle handle)
{
    return std::ftell(static_cast<std::FILE*>(handle));
}

}  // namespace

FileHandle openFile(const QString& path, const char* mode)
{
    return FileHandle(std::fopen(QFile::encodeName(path).constData(), mode));
}

FreeImageIO* stdioFreeImageIO()
{
    // FreeImage asks for a mutable pointer but never writes through it.
    static FreeImageIO io{readProc, writeProc, seekProc, tellProc};
    return &io;
}
