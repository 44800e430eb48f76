#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <optional>

// While alive, the environment has no X display, no Wayland display and no Qt platform, so the
// executables the tests start see what a console session without graphics gives them.
namespace e2e {

class NoDisplay {
  public:
    NoDisplay()
    {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (qEnvironmentVariableIsSet(names[i])) {
                saved_[i] = qgetenv(names[i]);
            }
            qunsetenv(names[i]);
        }
    }
    ~NoDisplay()
    {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (saved_[i]) {
                qputenv(names[i], *saved_[i]);
            }
        }
    }
    NoDisplay(const NoDisplay&) = delete;
    NoDisplay& operator=(const NoDisplay&) = delete;

  private:
    static constexpr std::array<const char*, 3> names{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::array<std::optional<QByteArray>, 3> saved_;
};

} // namespace e2e
