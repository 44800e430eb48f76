#include "engine/steps/draw/gui_app.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace draw {

OffscreenGuiApplication::OffscreenGuiApplication(int& argc, char** argv)
{
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    // Only the program name goes on: the user's options are ours, and Qt would take some of them
    // (-display, -title, -reverse) for its own. The platform is chosen by argument rather than by
    // environment, so nothing global changes and a missing DISPLAY never matters.
    arguments_.emplace_back(argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "tessaline");
    arguments_.emplace_back("-platform");
    arguments_.emplace_back("offscreen");
    for (std::string& argument : arguments_) {
        argv_.push_back(argument.data());
    }
    argv_.push_back(nullptr);
    argc_ = static_cast<int>(arguments_.size());
    app_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
}

OffscreenGuiApplication::~OffscreenGuiApplication() = default;

bool OffscreenGuiApplication::ready() const
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace draw
