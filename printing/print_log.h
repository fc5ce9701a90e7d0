#pragma once
// Shared by the print log writer and the print service: the local clock (a seam so tests can
// cross midnight), the day's file name and the directory form.
#include <ctime>
#include <functional>
#include <string>

namespace tendrix::printing {

// Local broken-down time "now".
using LocalClock = std::function<std::tm()>;
LocalClock SystemLocalClock();

// "printlog%d-%02d-%02d.txt" for the local date of `t`.
std::string PrintLogFileName(const std::tm& t);
// year * 10000 + month * 100 + day: orders days.
int DayKey(const std::tm& t);
// The directory as a directory: a trailing '/' is added when missing (so "/srv/logs" means
// /srv/logs itself, not its parent).
std::string AsDirectory(std::string dir);

// One print log record: time stamp "%04d-%02d-%02d %02d:%02d:%02d\r\n\r\n", "\r\n", the text
// and a line end, with every LF stored as CR LF (the text-mode file form).
std::string PrintLogRecord(const std::tm& t, const std::string& text);

}  // namespace tendrix::printing
