#include "common/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tendrix::common {
namespace {

constexpr mode_t kGroupAndOthers = S_IRWXG | S_IRWXO;

// Drops the group and other bits of an open file or directory.
bool Narrow(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    if ((st.st_mode & kGroupAndOthers) == 0) return true;
    return ::fchmod(fd, st.st_mode & S_IRWXU) == 0;
}

}  // namespace

bool MakePrivateDirectory(const std::string& dir, std::string* error) {
    if (dir.empty()) return true;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && Narrow(fd);
    const int saved = errno;
    if (fd >= 0) ::close(fd);
    if (!ok && error) {
        *error = "cannot make " + dir + " private: " + (ec ? ec.message() : std::strerror(saved));
    }
    return ok;
}

bool MakePrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = Narrow(fd);
    ::close(fd);
    return ok;
}

FILE* OpenPrivateForAppend(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    Narrow(fd);
    FILE* f = ::fdopen(fd, "ab");
    if (!f) ::close(fd);
    return f;
}

int TightenDirectory(const std::string& dir) {
    namespace fs = std::filesystem;
    int changed = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status st = it->symlink_status(ec);
        if (ec || !(fs::is_regular_file(st) || fs::is_directory(st))) continue;
        if ((st.permissions() & (fs::perms::group_all | fs::perms::others_all)) ==
            fs::perms::none) {
            continue;
        }
        const int fd = ::open(it->path().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        if (Narrow(fd)) ++changed;
        ::close(fd);
    }
    return changed;
}

void MakeDataAndLogPrivate(const std::string& data_dir, const std::string& log_dir) {
    for (const std::string& dir : {data_dir, log_dir}) {
        MakePrivateDirectory(dir);
        TightenDirectory(dir);
    }
}

}  // namespace tendrix::common
