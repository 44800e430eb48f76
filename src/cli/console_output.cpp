#include "cli/console_output.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace {

void writeBytes(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

ConsoleOutput::ConsoleOutput()
    : stdoutIsTerminal_(isatty(STDOUT_FILENO) == 1), stderrIsTerminal_(isatty(STDERR_FILENO) == 1),
      stdinIsTerminal_(isatty(STDIN_FILENO) == 1)
{
}

ConsoleOutput::~ConsoleOutput()
{
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
    if (titleSet_) {
        // Restores the title saved on the terminal's title stack (terminals without one ignore it).
        writeBytes(stdout, QByteArrayLiteral("\033[23;0t"));
    }
}

void ConsoleOutput::setTitle(const QString& title)
{
    const std::lock_guard lock(mutex_);
    if (!stdoutIsTerminal_ || titleSet_) {
        return;
    }
    QByteArray text = title.toUtf8();
    text.replace('\a', ' ').replace('\033', ' ');
    writeBytes(stdout, "\033[22;0t\033]0;" + text + '\a');
    titleSet_ = true;
}

void ConsoleOutput::line(const QString& text)
{
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
    writeBytes(stdout, text.toUtf8() + '\n');
}

void ConsoleOutput::errorLine(const QString& text)
{
    errorDetail(QStringLiteral("Error: ") + text);
}

void ConsoleOutput::warningLine(const QString& text)
{
    errorDetail(QStringLiteral("Warning: ") + text);
}

void ConsoleOutput::errorDetail(const QString& text)
{
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
    std::fflush(stdout);
    writeBytes(stderr, text.toUtf8() + '\n');
}

void ConsoleOutput::showProgress(const QString& text)
{
    const std::lock_guard lock(mutex_);
    if (!stderrIsTerminal_) {
        return;
    }
    writeBytes(stderr, "\r" + text.toUtf8() + "\033[K");
    progressShown_ = true;
}

void ConsoleOutput::clearProgress()
{
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
}

void ConsoleOutput::clearProgressLocked()
{
    if (progressShown_) {
        writeBytes(stderr, QByteArrayLiteral("\r\033[K"));
        progressShown_ = false;
    }
}

int ConsoleOutput::terminalColumns() const
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

void ConsoleOutput::waitForKey()
{
    if (!stdinIsTerminal_) {
        return;
    }
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char key = 0;
    [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
    // The rest of a multi-byte key (arrows, function keys) must not reach the shell afterwards.
    tcflush(STDIN_FILENO, TCIFLUSH);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}
