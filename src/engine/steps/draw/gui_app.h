#pragma once

#include <memory>
#include <string>
#include <vector>

class QGuiApplication;

namespace draw {

// Fonts and text need a QGuiApplication. A console run that draws creates one on the offscreen
// platform, so it needs no display. Does nothing when a QGuiApplication exists already; the
// application lives as long as this object.
class OffscreenGuiApplication {
  public:
    OffscreenGuiApplication(int& argc, char** argv);
    ~OffscreenGuiApplication();
    OffscreenGuiApplication(const OffscreenGuiApplication&) = delete;
    OffscreenGuiApplication& operator=(const OffscreenGuiApplication&) = delete;

    // False when another kind of application (a plain QCoreApplication) is in the way.
    bool ready() const;

  private:
    std::vector<std::string> arguments_;
    std::vector<char*> argv_;
    int argc_ = 0;
    std::unique_ptr<QGuiApplication> app_;
};

} // namespace draw
