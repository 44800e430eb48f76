#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

class MainWindow;

// The open window's side of "Open With" while it runs: a local socket in the user's runtime folder
// on which later windowed starts hand over the files they were given (hand_over_message.h). The
// socket and its folder are the user's alone; a client can only ever have paths added, and a
// message that is malformed, too long or too slow is dropped without effect.
class HandOverServer : public QObject {
    Q_OBJECT

  public:
    explicit HandOverServer(QObject* parent = nullptr);

    // Listens on socketPath, taking over a socket that a crashed window left behind (the caller
    // holds the single-instance lock, so no live window owns it). Empty on success, else why not.
    QString listen(const QString& socketPath);

  signals:
    // A client handed over these paths (possibly none: it only wants the window shown).
    void pathsHandedOver(const QStringList& paths);

  private:
    void takeConnections();

    // Declared first: the server's sockets count themselves out from here as it destroys them.
    int openConnections_ = 0;
    QLocalServer server_;
};

// Adds files to the main window as a drop does. Files may arrive before the window has completed
// its start (a later start hands over as soon as the socket listens); they wait for open(). A drop
// cannot happen while a modal window (a progress window, a message box, Preferences) is open, and
// the list must not change under a running conversion, so files that arrive meanwhile wait until
// the window is free again. Several arrivals are added in the order they came.
class WindowInbox : public QObject {
  public:
    WindowInbox();

    // From now on, adds to this window (which has completed its start).
    void open(MainWindow& window);
    // Adds the paths (files and folders, absolute) as soon as the window is free.
    void add(const QStringList& paths);
    // A later start's files: shows and raises the window, then adds them.
    void handOver(const QStringList& paths);

  private:
    void deliver();

    MainWindow* window_ = nullptr;
    std::deque<QStringList> waiting_;
    QTimer retry_;
    bool delivering_ = false;
};

// The second start's side: sends the paths to the window listening on socketPath and waits until it
// has taken them. Waits a while for a window that is still starting. Empty when the window took
// them, else why not. Needs a QCoreApplication.
QString handOverToWindow(const QString& socketPath, const QStringList& paths);
