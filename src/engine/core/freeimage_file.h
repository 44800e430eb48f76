#pragma once

#include <FreeImage.h>

#include <QString>

#include <cstdio>
#include <memory>

// FreeImage reports a file it cannot open with the file's name copied into a fixed 512-byte
// buffer, which a long path overflows (the process aborts). So FreeImage is never given a file
// name: we open the file and hand FreeImage the stream through these callbacks.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// fopen of the UTF-8 encoded path; empty when the file cannot be opened.
FileHandle openFile(const QString& path, const char* mode);

// stdio callbacks for FreeImage's *FromHandle / *ToHandle functions; the handle is a FILE*.
FreeImageIO* stdioFreeImageIO();
