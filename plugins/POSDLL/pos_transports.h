#pragma once
// The transports behind the SDK entry points: serial (termios), parallel (/dev/lpN), a driver
// printer (raw CUPS job), a network printer (raw TCP, port 9100 unless "host:port").
// Every wait is bounded, so an unplugged or silent printer never blocks the caller for long.
#include <memory>
#include <string>
#include <string_view>

namespace tendrix::plugins::posdll {

struct Timeouts {
    int connect_ms = 3000;  // network printer connect
    int write_ms = 5000;    // a printer that stops taking bytes
};

class Transport {
  public:
    virtual ~Transport() = default;
    // Sends all bytes; false (with error) when the printer stops taking them.
    virtual bool Write(std::string_view bytes, std::string& error) = 0;
    virtual void StartDoc() {}
    virtual bool EndDoc(std::string& /*error*/) { return true; }
};

// Each returns nullptr with `error` set when the port cannot be opened.
std::unique_ptr<Transport> OpenSerial(const std::string& device_path, int baud, const Timeouts& t,
                                      std::string& error);
std::unique_ptr<Transport> OpenParallel(const std::string& device_path, const Timeouts& t,
                                        std::string& error);
std::unique_ptr<Transport> OpenNetwork(const std::string& address, const Timeouts& t,
                                       std::string& error);
std::unique_ptr<Transport> OpenCups(const std::string& queue, std::string& error);

}  // namespace tendrix::plugins::posdll
