#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

// A server of the test's own on 127.0.0.1: it accepts one connection, reads the request up to its
// blank line, writes the scripted segments one by one with a pause between them, and then closes
// the connection, or keeps it open without a word until the server is destroyed.
class ReplyServer {
  public:
    struct Script {
        QList<QByteArray> segments;
        bool closeAfterSegments = true;
        std::chrono::milliseconds pauseBetweenSegments{30};
    };

    explicit ReplyServer(Script script);
    ~ReplyServer();
    ReplyServer(const ReplyServer&) = delete;
    ReplyServer& operator=(const ReplyServer&) = delete;

    int port() const { return port_; }
    // What the client sent, as far as the server read it.
    QByteArray request() const;

    // A port on 127.0.0.1 that nothing listens on.
    static int closedPort();

  private:
    void serve();
    void serveConnection(int connection);
    bool stopped() const { return stop_.load(); }

    Script script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex requestLock_;
    QByteArray request_;
    std::thread thread_;
};
