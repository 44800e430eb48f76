#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

// An X display of the test's own: Xvfb on a free display number with the openbox window manager
// (so windows get frames and the close key), and that display in DISPLAY while it lives, with no
// Qt platform or Wayland display to override it. Tests skip when Xvfb or openbox is not installed.
namespace e2e {

class VirtualDisplay {
  public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Why the display could not be started; empty when it runs.
    QString problem() const { return problem_; }

    // Runs xdotool on the display; true when it ended with status 0 within the time limit.
    static bool xdotool(const QStringList& arguments, int timeoutMs = 20000);

  private:
    void saveAndSetEnvironment(const QByteArray& display);

    QString problem_;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> windowManager_;
    static constexpr std::array<const char*, 3> names{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::array<std::optional<QByteArray>, 3> saved_;
};

} // namespace e2e
