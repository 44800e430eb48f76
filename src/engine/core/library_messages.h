#pragma once

#include <QString>

#include <functional>

// FreeImage's output message and libtiff's error and warning handlers are process-wide. Once
// installed, every message they produce goes to the one sink (the debug output of -d) and never
// to the terminal; with no sink the messages are dropped. The sink is guarded by a mutex because
// workers may decode in parallel.
using LibraryMessageSink = std::function<void(const QString&)>;

// Installs the handlers (idempotent, thread-safe). Call once at start-up, before any image is
// decoded; setLibraryMessageSink and LibraryMessageScope install them too.
void installLibraryMessageHandlers();

// Replaces the sink (an empty function drops messages) and returns the previous one.
LibraryMessageSink setLibraryMessageSink(LibraryMessageSink sink);

// Sends library messages to `sink` while it lives, then restores the previous sink.
class LibraryMessageScope {
  public:
    explicit LibraryMessageScope(LibraryMessageSink sink);
    ~LibraryMessageScope();
    LibraryMessageScope(const LibraryMessageScope&) = delete;
    LibraryMessageScope& operator=(const LibraryMessageScope&) = delete;

  private:
    LibraryMessageSink previous_;
};
