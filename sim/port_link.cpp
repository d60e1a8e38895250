#include "port_link.h"

#include <cerrno>
#include <cstring>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

bool isTerminalPath(const std::string &path) {
    static const std::regex pts("/dev/pts/[0-9]+");
    return std::regex_match(path, pts);
}

// A link this program leaves behind when it is killed outright: ours to replace, since the
// terminal it names is gone and the link leads nowhere.
bool isStaleSimulatorLink(const std::string &path, const struct stat &entry) {
    if (!S_ISLNK(entry.st_mode) || entry.st_uid != geteuid())
        return false;
    const std::string target = linkTarget(path);
    struct stat pointed {};
    return isTerminalPath(target) && lstat(target.c_str(), &pointed) != 0 && errno == ENOENT;
}

std::string describe(const std::string &path, const struct stat &entry) {
    if (S_ISLNK(entry.st_mode))
        return "a link to " + linkTarget(path);
    if (S_ISREG(entry.st_mode))
        return "a file";
    if (S_ISDIR(entry.st_mode))
        return "a folder";
    if (S_ISCHR(entry.st_mode) || S_ISBLK(entry.st_mode))
        return "a device";
    return "something else";
}

} // namespace

std::string linkTarget(const std::string &path) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length <= 0 || std::size_t(length) >= sizeof buffer)
        return {};
    return std::string(buffer, std::size_t(length));
}

PortLink::Outcome PortLink::make(const std::string &target) {
    found_.clear();
    error_.clear();
    bool replacing = false;
    struct stat entry {};
    if (lstat(path_.c_str(), &entry) == 0) {
        if (!isStaleSimulatorLink(path_, entry)) {
            found_ = describe(path_, entry);
            return Outcome::Taken;
        }
        if (unlink(path_.c_str()) != 0 && errno != ENOENT) {
            error_ = std::strerror(errno);
            return Outcome::Failed;
        }
        replacing = true;
    } else if (errno != ENOENT) {
        error_ = std::strerror(errno);
        return Outcome::Failed;
    }
    // symlink() never replaces: whatever appeared at the path meanwhile stays.
    if (symlink(target.c_str(), path_.c_str()) != 0) {
        if (errno == EEXIST && lstat(path_.c_str(), &entry) == 0) {
            found_ = describe(path_, entry);
            return Outcome::Taken;
        }
        error_ = std::strerror(errno);
        return Outcome::Failed;
    }
    target_ = target;
    return replacing ? Outcome::Replaced : Outcome::Made;
}

void PortLink::remove() {
    if (target_.empty())
        return;
    if (linkTarget(path_) == target_)
        unlink(path_.c_str());
    target_.clear();
}

int firstFreeComNumber(const std::string &folder) {
    for (int n = 1; n <= 255; ++n) {
        struct stat entry {};
        const std::string path = folder + "/COM" + std::to_string(n);
        if (lstat(path.c_str(), &entry) != 0 && errno == ENOENT)
            return n;
    }
    return 0;
}

} // namespace sim
