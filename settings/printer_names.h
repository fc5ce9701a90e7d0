#pragma once
// Names of the printers the spooler (CUPS) knows, for the driver printer list.
#include <string>
#include <vector>

namespace tendrix::settings {
std::vector<std::string> PrinterNames();
}
