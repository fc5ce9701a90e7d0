#pragma once
// Resolves the Windows port names that settings keep ("COM3", "LPT1") to device paths.
// The map file (default: <data dir>/ports.ini, or $TENDRIX_PORT_MAP) has lines
// "COM3=/dev/ttyUSB0"; names not listed fall back to COMn -> /dev/ttyS(n-1) and
// LPTn -> /dev/lp(n-1). A name that already is a path ("/dev/...") is returned as is.
#include <map>
#include <string>

namespace tendrix::common {

class PortMap {
  public:
    PortMap() = default;
    // Reads the map file; a missing file leaves the map empty.
    explicit PortMap(const std::string& file);

    std::string Resolve(const std::string& name) const;
    const std::map<std::string, std::string>& Entries() const { return entries_; }

  private:
    std::map<std::string, std::string> entries_;  // upper-case name -> path
};

}  // namespace tendrix::common
