#pragma once

#include <QString>

#include <mutex>

// The process's own terminal as the console of a run: status and debug lines go to standard
// output, "Error: " lines to standard error, each ending with LF and encoded as UTF-8. A one-line
// progress indicator may occupy the last line of standard error when it is a terminal; lines
// written meanwhile clear it first and it is redrawn on the next update.
class ConsoleOutput {
  public:
    ConsoleOutput();
    ~ConsoleOutput();
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Sets the terminal title (only when standard output is a terminal); restored on destruction.
    void setTitle(const QString& title);

    void line(const QString& text);        // standard output
    void errorLine(const QString& text);   // standard error, "Error: " put in front
    void warningLine(const QString& text); // standard error, "Warning: " put in front
    void errorDetail(const QString& text); // standard error as it stands (a line after an error)

    // Whether standard error is a terminal, so that a progress line can be drawn there.
    bool canShowProgress() const { return stderrIsTerminal_; }
    // Draws (replaces) the progress line; clearProgress removes it.
    void showProgress(const QString& text);
    void clearProgress();
    // Columns of the terminal on standard error (80 when unknown).
    int terminalColumns() const;

    // The closing pause: waits for one key press without echo when standard input is a terminal;
    // returns at once otherwise.
    void waitForKey();

  private:
    void clearProgressLocked();

    std::mutex mutex_;
    bool stdoutIsTerminal_ = false;
    bool stderrIsTerminal_ = false;
    bool stdinIsTerminal_ = false;
    bool titleSet_ = false;
    bool progressShown_ = false;
};
