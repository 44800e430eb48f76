#include "support/virtual_display.h"

#include "support/patience.h"

#include <QStandardPaths>
#include <QThread>

namespace e2e {

namespace {

constexpr int startMilliseconds = 10000;
constexpr int settleMilliseconds = 700;

// Stops a helper process and waits for it.
void stop(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
}

} // namespace

VirtualDisplay::VirtualDisplay()
{
    for (const char* tool : {"Xvfb", "openbox", "xdotool"}) {
        if (QStandardPaths::findExecutable(QLatin1StringView(tool)).isEmpty()) {
            problem_ = QStringLiteral("%1 is not installed").arg(QLatin1StringView(tool));
            return;
        }
    }
    // Xvfb picks a free display number and writes it to the descriptor named by -displayfd.
    server_ = std::make_unique<QProcess>();
    server_->start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    while (!number.contains('\n') && server_->waitForReadyRead(startMilliseconds)) {
        number += server_->readAllStandardOutput();
    }
    if (number.trimmed().isEmpty()) {
        problem_ = QStringLiteral("Xvfb did not start");
        return;
    }
    saveAndSetEnvironment(':' + number.trimmed());

    windowManager_ = std::make_unique<QProcess>();
    windowManager_->start(QStringLiteral("openbox"), {});
    if (!windowManager_->waitForStarted(startMilliseconds)) {
        problem_ = QStringLiteral("openbox did not start");
        return;
    }
    // The window manager takes a moment to manage the screen; windows mapped before that get no frame.
    QThread::msleep(settleMilliseconds);
}

VirtualDisplay::~VirtualDisplay()
{
    if (windowManager_) {
        stop(*windowManager_);
    }
    if (server_) {
        stop(*server_);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (saved_[i]) {
            qputenv(names[i], *saved_[i]);
        } else {
            qunsetenv(names[i]);
        }
    }
}

void VirtualDisplay::saveAndSetEnvironment(const QByteArray& display)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (qEnvironmentVariableIsSet(names[i])) {
            saved_[i] = qgetenv(names[i]);
        }
        qunsetenv(names[i]);
    }
    qputenv("DISPLAY", display);
}

bool VirtualDisplay::xdotool(const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(patientMs(timeoutMs))) {
        stop(process);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace e2e
