// The log follower's line splitting: the input, cut at 0x01 bytes, is appended piece by piece
// to a file while the reader reads it; the lines it returns must be exactly the completed
// lines of everything appended (LF ends a line, one CR before it is dropped, at most 500 bytes
// are kept of a line).
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "capture/log_tail.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(log_lines) {
    using tendrix::capture::LogFileReader;
    const int fd = memfd_create("log_lines", MFD_CLOEXEC);
    if (fd < 0) return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    LogFileReader reader;
    FUZZ_CHECK(reader.Open(path));

    std::vector<std::string> got;
    std::string written;
    tendrix::fuzz::Pieces pieces(data, size);
    do {
        const std::string_view piece = pieces.Next();
        FUZZ_CHECK(write(fd, piece.data(), piece.size()) == static_cast<ssize_t>(piece.size()));
        written += piece;
        std::string line;
        while (reader.ReadLine(line) == LogFileReader::Got::Line) got.push_back(line);
    } while (!pieces.Empty());
    close(fd);

    std::vector<std::string> want;
    size_t start = 0;
    for (size_t nl; (nl = written.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string line =
            written.substr(start, std::min(nl - start, LogFileReader::kMaxLineBytes + 1));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > LogFileReader::kMaxLineBytes) line.resize(LogFileReader::kMaxLineBytes);
        want.push_back(line);
    }
    FUZZ_CHECK(got == want);
    return 0;
}
