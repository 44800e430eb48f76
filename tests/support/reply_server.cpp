#include "support/reply_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int pollMilliseconds = 10;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A listening socket on 127.0.0.1 with a port the system picks; -1 on failure.
int listenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool readable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, pollMilliseconds) > 0;
}

} // namespace

ReplyServer::ReplyServer(Script script) : script_(std::move(script))
{
    listener_ = listenOnLoopback(port_);
    thread_ = std::thread([this] { serve(); });
}

ReplyServer::~ReplyServer()
{
    stop_ = true;
    thread_.join();
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

QByteArray ReplyServer::request() const
{
    const std::lock_guard lock(requestLock_);
    return request_;
}

int ReplyServer::closedPort()
{
    int port = 0;
    const FileDescriptor listener(listenOnLoopback(port));
    return port; // closed again when `listener` goes
}

void ReplyServer::serve()
{
    while (listener_ >= 0 && !stopped()) {
        if (readable(listener_)) {
            const FileDescriptor connection(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.get() >= 0) {
                serveConnection(connection.get());
            }
            return;
        }
    }
}

void ReplyServer::serveConnection(int connection)
{
    QByteArray received;
    while (!stopped() && !received.contains("\r\n\r\n")) {
        if (!readable(connection)) {
            continue;
        }
        char chunk[512];
        const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
        if (count <= 0) {
            break;
        }
        received.append(chunk, count);
        const std::lock_guard lock(requestLock_);
        request_ = received;
    }
    for (const QByteArray& segment : script_.segments) {
        if (::send(connection, segment.constData(), segment.size(), MSG_NOSIGNAL) != segment.size()) {
            return;
        }
        std::this_thread::sleep_for(script_.pauseBetweenSegments);
    }
    while (!script_.closeAfterSegments && !stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMilliseconds));
    }
}
