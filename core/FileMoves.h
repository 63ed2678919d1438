#pragma once

// File-system steps shared by moving song files away and bringing them back:
// everything works relative to open folder handles, and names are bytes.

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

namespace vaskord::files {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// Operators protect a song by taking away every write right. Linux lets the
// owner of the folder (and root) remove such a file anyway, so every way of
// taking a file out of its folder checks this first.
inline bool isWriteProtected(const struct stat& st) {
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// Opens a folder by path as the kernel resolves it (links followed).
Fd openFolder(const std::string& path);

// Opens, and with `create` makes, the chain of folders `names` below `base`.
// No link is followed on the way, so a link planted inside cannot send a file
// elsewhere. Invalid on failure, errno set.
Fd openFolderChain(int base, const std::vector<std::string>& names, bool create, mode_t mode);

enum class MoveResult {
    Moved,
    Clash,   // something of the new name is there; nothing was replaced
    Failed,  // the original is where it was (errno of the step that failed in error)
};

// Moves fromDir/name (described by st) to toDir/toName, never replacing
// anything. On one file system a rename; across file systems a copy that is
// synced to disk before the original is unlinked, and no unlink when the copy
// failed. `beforeOriginalGoes` runs once the move is certain to be attempted
// and before the original can disappear; if it throws, the original stays and
// any copy is removed.
MoveResult moveFileAt(int fromDir, const std::string& name, const struct stat& st, int toDir,
                      const std::string& toName, const std::function<void()>& beforeOriginalGoes,
                      int* error);

// Bytes of a path as a text field: '%', control bytes and DEL as %XX, the rest
// as they are. Keeps tabs and line ends out of one-line records.
std::string escapeField(const std::string& bytes);
// As the freedesktop trash wants a path: everything but unreserved URI
// characters and '/' as %XX.
std::string escapeUriPath(const std::string& bytes);
// Undoes either; a '%' not followed by two hex digits stays as it is.
std::string unescape(const std::string& text);

// The folder part and the name of a path; "/a/b.mpg" -> {"/a", "b.mpg"},
// "/b.mpg" -> {"/", "b.mpg"}.
std::pair<std::string, std::string> splitPath(const std::string& path);

// The path the kernel has for an open folder, without links or "..";
// empty when it cannot tell.
std::string folderRealPath(int folderFd);

}  // namespace vaskord::files
