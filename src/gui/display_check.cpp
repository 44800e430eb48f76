#include "gui/display_check.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Platforms that draw into memory or serve their own clients need no display server.
bool isServerlessPlatform(const QString& platform)
{
    for (const char* name : {"offscreen", "minimal", "vnc", "vkkhrdisplay", "linuxfb", "eglfs"}) {
        if (platform.startsWith(QLatin1StringView(name))) {
            return true;
        }
    }
    return false;
}

bool socketAccepts(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::strncpy(address.sun_path, bytes.constData(), sizeof address.sun_path - 1);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A local X display (":1", ":1.0", "unix:1") is reachable when its socket accepts; a display on
// another host is taken as given.
bool x11DisplayReachable(const QString& display)
{
    if (display.isEmpty()) {
        return false;
    }
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch()) {
        return true;
    }
    return socketAccepts(QStringLiteral("/tmp/.X11-unix/X") + match.captured(1));
}

bool waylandDisplaySet()
{
    return !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty();
}

bool platformAvailable(const QString& platform)
{
    if (isServerlessPlatform(platform)) {
        return true;
    }
    if (platform.startsWith(QLatin1StringView("wayland"))) {
        return waylandDisplaySet();
    }
    return x11DisplayReachable(qEnvironmentVariable("DISPLAY"));
}

} // namespace

bool displayAvailable()
{
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (chosen.isEmpty()) {
        return x11DisplayReachable(qEnvironmentVariable("DISPLAY")) || waylandDisplaySet();
    }
    // Qt tries the platforms of a list such as "wayland;xcb" in turn.
    for (const QString& platform : chosen.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (platformAvailable(platform)) {
            return true;
        }
    }
    return false;
}

bool displayAvailableOrReported()
{
    if (displayAvailable()) {
        return true;
    }
    std::fputs("Error: There is no graphical display (X11 or Wayland) for the window; to convert from the "
               "terminal, start the console tool with -i: tessaline -i INPUT [options]\n",
               stderr);
    return false;
}
