#include "support/run_tessaline.h"

#include "support/patience.h"
#include "support/tiff_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

QStringList splitLines(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.endsWith(u'\n')) {
        text.chop(1);
    }
    return text.isEmpty() && bytes.isEmpty() ? QStringList() : text.split(u'\n');
}

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

QStringList RunResult::outLines() const
{
    return splitLines(out);
}

QStringList RunResult::errLines() const
{
    return splitLines(err);
}

RunningTessaline::~RunningTessaline()
{
    if (pid_ > 0 && !finished_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_, terminalFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool RunningTessaline::pump(int timeoutMs)
{
    pollfd fds[2];
    int count = 0;
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            fds[count++] = pollfd{fd, POLLIN, 0};
        }
    }
    if (count == 0) {
        return false;
    }
    if (poll(fds, static_cast<nfds_t>(count), timeoutMs) <= 0) {
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[65536];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        const bool isOut = fds[i].fd == outFd_;
        if (got > 0) {
            (isOut ? result_.out : result_.err).append(buffer, got);
        } else {
            close(fds[i].fd);
            (isOut ? outFd_ : errFd_) = -1;
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool RunningTessaline::waitForOutput(const QByteArray& text, int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(patientMs(timeoutMs));
    while (!result_.out.contains(text)) {
        if (remainingMs(deadline) == 0 || !pump(std::min(remainingMs(deadline), 100))) {
            return result_.out.contains(text);
        }
    }
    return true;
}

void RunningTessaline::pressKey(char key)
{
    if (terminalFd_ >= 0) {
        [[maybe_unused]] const ssize_t written = write(terminalFd_, &key, 1);
    }
}

void RunningTessaline::interrupt()
{
    if (pid_ > 0 && !finished_) {
        kill(pid_, SIGINT);
    }
}

RunResult RunningTessaline::finish(int timeoutMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(patientMs(timeoutMs));
    while (remainingMs(deadline) > 0 && pump(std::min(remainingMs(deadline), 100))) {
    }
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && remainingMs(deadline) > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (done == 0) {
        result_.timedOut = true;
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    finished_ = true;
    if (WIFEXITED(status)) {
        result_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.signal = WTERMSIG(status);
    }
    return result_;
}

Sandbox::Sandbox()
{
    QDir().mkpath(runtimeFolder());
    QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(configFolder());
    QDir().mkpath(workFolder());
    QDir().mkpath(root_.path() + QStringLiteral("/home"));
}

QString Sandbox::makeFolder(const QString& relative) const
{
    QDir().mkpath(path(relative));
    return path(relative);
}

QString Sandbox::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(bytes);
    }
    return file;
}

QString Sandbox::writeTiff(const QString& relative, int pageCount) const
{
    const QString file = path(relative);
    QDir().mkpath(QFileInfo(file).absolutePath());
    fixtures::writeTiff(file, fixtures::PageKind::Rgb24, 16, 12, pageCount);
    return file;
}

QStringList Sandbox::filesBelow(const QString& relative) const
{
    const QString base = path(relative);
    QStringList files;
    QDirIterator it(base, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << QDir(base).relativeFilePath(it.next());
    }
    files.sort();
    return files;
}

RunResult Sandbox::run(const QStringList& arguments, const RunOptions& options) const
{
    return start(arguments, options)->finish(options.timeoutMs);
}

RunResult Sandbox::runBytes(const std::vector<QByteArray>& arguments, const RunOptions& options) const
{
    return startBytes(arguments, options)->finish(options.timeoutMs);
}

std::unique_ptr<RunningTessaline> Sandbox::start(const QStringList& arguments, const RunOptions& options) const
{
    std::vector<QByteArray> bytes;
    for (const QString& argument : arguments) {
        bytes.push_back(argument.toUtf8());
    }
    return startBytes(bytes, options);
}

std::unique_ptr<RunningTessaline> Sandbox::startBytes(const std::vector<QByteArray>& arguments,
                                                      const RunOptions& options) const
{
    std::unique_ptr<RunningTessaline> running(new RunningTessaline);

    // Everything the child needs is prepared before fork: after it only exec-safe calls run.
    const QByteArray executable(TESSALINE_EXECUTABLE);
    std::vector<char*> argv{const_cast<char*>(executable.constData())};
    for (const QByteArray& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.constData()));
    }
    argv.push_back(nullptr);

    std::vector<QByteArray> own{"XDG_RUNTIME_DIR=" + QFile::encodeName(runtimeFolder()),
                                "XDG_CONFIG_HOME=" + QFile::encodeName(configFolder()),
                                "HOME=" + QFile::encodeName(root_.path() + QStringLiteral("/home"))};
    for (const QString& entry : options.environment) {
        own.push_back(QFile::encodeName(entry));
    }
    const auto replaced = [&own](const char* entry, std::size_t from) {
        return std::any_of(own.begin() + static_cast<std::ptrdiff_t>(from), own.end(), [entry](const QByteArray& mine) {
            const qsizetype name = mine.indexOf('=') + 1;
            return name > 0 && std::strncmp(entry, mine.constData(), static_cast<std::size_t>(name)) == 0;
        });
    };
    std::vector<char*> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!replaced(*entry, 0)) {
            envp.push_back(*entry);
        }
    }
    for (std::size_t i = 0; i < own.size(); ++i) {
        if (!replaced(own[i].constData(), i + 1)) {
            envp.push_back(own[i].data());
        }
    }
    envp.push_back(nullptr);

    const QByteArray workingDirectory =
        QFile::encodeName(options.workingDirectory.isEmpty() ? workFolder() : options.workingDirectory);

    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return running;
    }
    QByteArray terminalName;
    if (options.terminalInput || options.terminal) {
        running->terminalFd_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (running->terminalFd_ >= 0 && grantpt(running->terminalFd_) == 0 && unlockpt(running->terminalFd_) == 0) {
            terminalName = ptsname(running->terminalFd_);
        }
    }

    const pid_t pid = fork();
    if (pid == 0) {
        int input = -1;
        if (!terminalName.isEmpty()) {
            setsid();
            input = open(terminalName.constData(), O_RDWR);
        } else {
            input = open("/dev/null", O_RDONLY);
        }
        dup2(input, STDIN_FILENO);
        dup2(options.terminal ? input : outPipe[1], STDOUT_FILENO);
        dup2(options.terminal ? input : errPipe[1], STDERR_FILENO);
        if (chdir(workingDirectory.constData()) != 0) {
            _exit(127);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    running->pid_ = pid;
    running->outFd_ = outPipe[0];
    running->errFd_ = errPipe[0];
    if (options.terminal) {
        // The terminal carries both streams; the pipes stay unused.
        close(running->outFd_);
        close(running->errFd_);
        running->outFd_ = dup(running->terminalFd_);
        running->errFd_ = -1;
    }
    return running;
}

bool waitForEntry(const QString& path, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        if (QFileInfo::exists(path)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace e2e
