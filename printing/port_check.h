#pragma once
// What a receipt may be sent to. A printer port text comes from settings that any user of the
// settings window can type; it must name a printer, not a file: a serial or parallel port
// (through the port map) under /dev, a CUPS queue, a network address, or the USB printer.
#include <string>

#include "common/port_map.h"

namespace tendrix::printing {

// "" when the description is acceptable, else why it is refused (for the cashier and the
// diagnostic log). A description of no known form is left to the caller ("no printer port").
std::string PrinterPortProblem(const std::string& description, const common::PortMap& map);

}  // namespace tendrix::printing
