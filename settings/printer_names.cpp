#include "settings/printer_names.h"

#include <cups/cups.h>

namespace tendrix::settings {

std::vector<std::string> PrinterNames() {
    std::vector<std::string> names;
    cups_dest_t* dests = nullptr;
    int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < n; ++i)
        if (dests[i].name) names.emplace_back(dests[i].name);
    cupsFreeDests(n, dests);
    return names;
}

}  // namespace tendrix::settings
