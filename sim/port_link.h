#pragma once

#include <string>

namespace sim {

// The simulator's link to its terminal (/dev/COMn, or a path of the user's choosing). It only
// ever touches a link it made itself:
// - it makes the link when nothing is at the path, or replaces a stale link of its own kind (a
//   symbolic link owned by this user to a /dev/pts/N that no longer exists);
// - anything else at the path (a link to the user's adapter or to a live terminal, a file, a
//   folder) is left as it is, and make() says why;
// - it removes the link only while the link still points to the terminal it was made for.
class PortLink {
public:
    enum class Outcome {
        Made,     // nothing was there: linked
        Replaced, // a stale simulator link was there: replaced
        Taken,    // something else is there: left as it is
        Failed,   // nothing usable there, but the link could not be made (permission...)
    };

    explicit PortLink(std::string path) : path_(std::move(path)) {}
    ~PortLink() { remove(); }
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    Outcome make(const std::string &target);
    void remove();

    const std::string &path() const { return path_; }
    // What is at the path, for the message when it is taken ("a link to /dev/ttyUSB0").
    const std::string &found() const { return found_; }
    // Why the link could not be made (errno text) after Failed.
    const std::string &error() const { return error_; }

private:
    std::string path_;
    std::string target_; // non-empty while a link made by this object should be there
    std::string found_;
    std::string error_;
};

// A symbolic link's target, or "" when the path is not a symbolic link.
std::string linkTarget(const std::string &path);

// The first COM number 1..255 with nothing at /dev/COMn, or 0 when all are taken.
int firstFreeComNumber(const std::string &folder = "/dev");

} // namespace sim
