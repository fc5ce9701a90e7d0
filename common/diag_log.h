#pragma once
// Diagnostic log for support: one file per day, "tendrix-YYYY-MM-DD.log" in the log
// directory, each line stamped with local time and a category. Thread-safe.
// Before SetDirectory() is called lines go to stderr only.
// The directory is made 0700 and the files 0600: lines may name orders and cashiers.
#include <string>
#include <string_view>

namespace tendrix::common::diag {

void SetDirectory(const std::string& dir);
std::string Directory();
void Write(std::string_view category, std::string_view text);

}  // namespace tendrix::common::diag
