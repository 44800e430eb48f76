#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

#include <memory>
#include <vector>

// Runs the real tessaline executable the way a user's shell does, in a temporary sandbox with its
// own runtime folder (the single-instance lock), configuration folder and home, and captures
// standard output, standard error and the exit status.
namespace e2e {

struct RunResult {
    int exitCode = -1;     // -1 when the process did not exit normally
    int signal = 0;        // the signal that ended it, 0 when it exited
    bool timedOut = false; // killed after the time limit
    QByteArray out;
    QByteArray err;

    // Output split at LF; a final LF does not make an empty last line.
    QStringList outLines() const;
    QStringList errLines() const;
};

struct RunOptions {
    QString workingDirectory = {}; // default: the sandbox's work folder
    int timeoutMs = 120000;
    // Standard input is a pseudo-terminal (as in an interactive shell) instead of /dev/null.
    bool terminalInput = false;
    // "NAME=value" entries that replace the inherited and the sandbox's own ("XDG_RUNTIME_DIR=",
    // empty, to start without a runtime folder).
    QStringList environment = {};
    // Standard input, output and error are one pseudo-terminal, the process's controlling
    // terminal, as in a terminal window: everything written is captured in `out`, in the order it
    // was written, and pressKey('\x03') is Ctrl+C.
    bool terminal = false;
};

// A process started without waiting, for tests that act while it runs.
class RunningTessaline {
  public:
    ~RunningTessaline();
    RunningTessaline(const RunningTessaline&) = delete;
    RunningTessaline& operator=(const RunningTessaline&) = delete;

    // Waits until standard output contains text (false after timeoutMs).
    bool waitForOutput(const QByteArray& text, int timeoutMs = 60000);
    // Types one key on the terminal of standard input (terminalInput only).
    void pressKey(char key = 'x');
    // Sends SIGINT, as Ctrl+C in a terminal does.
    void interrupt();
    // The process id, for signals of a test's own.
    pid_t pid() const { return pid_; }
    // Waits for the end and returns everything captured.
    RunResult finish(int timeoutMs = 60000);

  private:
    friend class Sandbox;
    RunningTessaline() = default;
    bool pump(int timeoutMs); // reads what is available; false when both pipes are closed

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    int terminalFd_ = -1;
    bool finished_ = false;
    RunResult result_;
};

// Waits until a file system entry exists (false after timeoutMs).
bool waitForEntry(const QString& path, int timeoutMs = 30000);

class Sandbox {
  public:
    Sandbox();

    bool isValid() const { return root_.isValid(); }
    QString root() const { return root_.path(); }
    QString runtimeFolder() const { return root_.path() + QStringLiteral("/runtime"); }
    QString configFolder() const { return root_.path() + QStringLiteral("/config"); }
    QString workFolder() const { return root_.path() + QStringLiteral("/work"); }
    // A path below the work folder (the working directory of runs).
    QString path(const QString& relative) const { return workFolder() + u'/' + relative; }

    // Creates the folders of relative below the work folder; returns the absolute path.
    QString makeFolder(const QString& relative) const;
    // Writes bytes to a file below the work folder (folders created); returns the absolute path.
    QString writeFile(const QString& relative, const QByteArray& bytes) const;
    // Writes a TIFF of the sample kind (24-bit RGB, 16 x 12) with pageCount pages.
    QString writeTiff(const QString& relative, int pageCount = 1) const;
    // Every file below a folder of the work folder, relative to it, sorted.
    QStringList filesBelow(const QString& relative) const;

    RunResult run(const QStringList& arguments, const RunOptions& options = {}) const;
    // Arguments as raw bytes, for parameters that are not valid UTF-8.
    RunResult runBytes(const std::vector<QByteArray>& arguments, const RunOptions& options = {}) const;
    std::unique_ptr<RunningTessaline> start(const QStringList& arguments, const RunOptions& options = {}) const;

  private:
    std::unique_ptr<RunningTessaline> startBytes(const std::vector<QByteArray>& arguments,
                                                 const RunOptions& options) const;
    QTemporaryDir root_;
};

} // namespace e2e
