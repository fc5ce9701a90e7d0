#include "plugins/POSDLL/pos_transports.h"

#include <cups/cups.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "common/serial_device.h"

namespace tendrix::plugins::posdll {
namespace {

// Writes everything to a non-blocking descriptor, waiting at most `timeout_ms` for it to
// take more bytes each time it is full.
bool WriteAll(int fd, std::string_view bytes, int timeout_ms, bool socket, std::string& error) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = socket
                              ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            error = std::string("write failed: ") + strerror(errno);
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        const int r = ::poll(&p, 1, timeout_ms);
        if (r == 0) {
            error = "the printer took no data for " + std::to_string(timeout_ms) + " ms";
            return false;
        }
        if (r < 0 && errno != EINTR) {
            error = std::string("poll failed: ") + strerror(errno);
            return false;
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
            error = "the printer connection is gone";
            return false;
        }
    }
    return true;
}

class SerialTransport : public Transport {
  public:
    SerialTransport(int baud, Timeouts t) : baud_(baud > 0 ? baud : 9600), t_(t) {}
    common::SerialDevice device;
    bool Write(std::string_view bytes, std::string& error) override {
        // The time the bytes take on the line (10 bits a byte) plus the stall allowance.
        const long long line_ms = (long long)bytes.size() * 10 * 1000 / baud_;
        if (device.Write(bytes.data(), bytes.size(),
                         std::chrono::milliseconds(line_ms + t_.write_ms)))
            return true;
        error = device.Error().empty() ? "serial write timed out" : device.Error();
        return false;
    }

  private:
    int baud_;
    Timeouts t_;
};

class FdTransport : public Transport {
  public:
    FdTransport(int fd, bool socket, Timeouts t) : fd_(fd), socket_(socket), t_(t) {}
    ~FdTransport() override {
        if (socket_) {
            ::shutdown(fd_, SHUT_WR);
            char sink[256];
            while (::recv(fd_, sink, sizeof(sink), MSG_DONTWAIT) > 0) {
            }
        }
        ::close(fd_);
    }
    bool Write(std::string_view bytes, std::string& error) override {
        return WriteAll(fd_, bytes, t_.write_ms, socket_, error);
    }

  private:
    int fd_;
    bool socket_;
    Timeouts t_;
};

class CupsTransport : public Transport {
  public:
    explicit CupsTransport(std::string queue) : queue_(std::move(queue)) {}
    ~CupsTransport() override {
        std::string ignored;
        EndDoc(ignored);
    }
    bool Write(std::string_view bytes, std::string& error) override {
        if (!job_ && !Begin(error)) return false;
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, bytes.data(), bytes.size()) !=
            HTTP_STATUS_CONTINUE) {
            error = std::string("CUPS write: ") + cupsLastErrorString();
            return false;
        }
        return true;
    }
    // The job itself is created with the first bytes, so an empty document prints nothing.
    void StartDoc() override {}
    bool EndDoc(std::string& error) override {
        if (!job_) return true;
        job_ = 0;
        if (cupsFinishDocument(CUPS_HTTP_DEFAULT, queue_.c_str()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
            error = std::string("CUPS job: ") + cupsLastErrorString();
            return false;
        }
        return true;
    }

  private:
    bool Begin(std::string& error) {
        job_ = cupsCreateJob(CUPS_HTTP_DEFAULT, queue_.c_str(), "Tendrix receipt", 0, nullptr);
        if (!job_) {
            error = std::string("CUPS create job: ") + cupsLastErrorString();
            return false;
        }
        if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue_.c_str(), job_, "receipt", CUPS_FORMAT_RAW,
                              1) != HTTP_STATUS_CONTINUE) {
            error = std::string("CUPS start document: ") + cupsLastErrorString();
            cupsCancelJob(queue_.c_str(), job_);
            job_ = 0;
            return false;
        }
        return true;
    }

    std::string queue_;
    int job_ = 0;
};

}  // namespace

std::unique_ptr<Transport> OpenSerial(const std::string& path, int baud, const Timeouts& t,
                                      std::string& error) {
    auto serial = std::make_unique<SerialTransport>(baud, t);
    if (!serial->device.Open(path, baud > 0 ? baud : 9600)) {
        error = serial->device.Error();
        return nullptr;
    }
    return serial;
}

std::unique_ptr<Transport> OpenParallel(const std::string& path, const Timeouts& t,
                                        std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + strerror(errno);
        return nullptr;
    }
    return std::make_unique<FdTransport>(fd, false, t);
}

std::unique_ptr<Transport> OpenNetwork(const std::string& address, const Timeouts& t,
                                       std::string& error) {
    std::string host = address;
    std::string port = "9100";
    if (const size_t colon = address.rfind(':'); colon != std::string::npos) {
        host = address.substr(0, colon);
        port = address.substr(colon + 1);
    }
    if (host.empty() || port.empty()) {
        error = "no printer address in \"" + address + "\"";
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &list); rc != 0) {
        error = address + ": " + gai_strerror(rc);
        return nullptr;
    }
    int fd = -1;
    for (addrinfo* ai = list; ai && fd < 0; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      ai->ai_protocol);
        if (fd < 0) continue;
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc < 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, t.connect_ms);
            int so_error = 0;
            socklen_t len = sizeof(so_error);
            if (rc == 0) {
                error = address + ": no answer within " + std::to_string(t.connect_ms) + " ms";
                rc = -1;
            } else if (rc > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &so_error, &len) == 0 &&
                       so_error == 0) {
                rc = 0;
            } else {
                error = address + ": " + strerror(so_error ? so_error : errno);
                rc = -1;
            }
        } else if (rc < 0) {
            error = address + ": " + strerror(errno);
        }
        if (rc != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(list);
    if (fd < 0) return nullptr;
    error.clear();
    return std::make_unique<FdTransport>(fd, true, t);
}

std::unique_ptr<Transport> OpenCups(const std::string& queue, std::string& error) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (!dest) {
        error = "no CUPS printer \"" + queue + "\": " + cupsLastErrorString();
        return nullptr;
    }
    cupsFreeDests(1, dest);
    return std::make_unique<CupsTransport>(queue);
}

}  // namespace tendrix::plugins::posdll
