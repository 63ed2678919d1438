#include "core/FileMoves.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace vaskord::files {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool exists(int dir, const std::string& name) {
    struct stat st {};
    return ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

// Writes all of `size` bytes or fails with errno.
bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Copies a regular file or a link to toDir/toName, created anew. Returns 0 or
// the errno of the step that failed, after removing whatever it had made.
int copyFileAt(int fromDir, const std::string& name, const struct stat& st, int toDir,
               const std::string& toName) {
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<size_t>(st.st_size) + 2);
        const ssize_t length = ::readlinkat(fromDir, name.c_str(), target.data(), target.size());
        if (length < 0) {
            return errno;
        }
        if (static_cast<size_t>(length) >= target.size() - 1) {
            return ENAMETOOLONG;  // the link changed under us
        }
        target[static_cast<size_t>(length)] = '\0';
        if (::symlinkat(target.data(), toDir, toName.c_str()) != 0) {
            return errno;
        }
        return ::fsync(toDir) == 0 || errno == EINVAL ? 0 : errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return EINVAL;
    }
    Fd source(::openat(fromDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (!source.valid()) {
        return errno;
    }
    if (::fstat(source.get(), &opened) != 0) {
        return errno;
    }
    if (!sameFile(opened, st)) {
        return ESTALE;  // another file took the name since it was listed
    }
    Fd target(::openat(toDir, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0600));
    if (!target.valid()) {
        return errno;
    }
    int error = 0;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        if (!writeAll(target.get(), buffer.data(), static_cast<size_t>(got))) {
            error = errno;
            break;
        }
    }
    if (error == 0) {
        // Owner and times are kept where the system lets us; the rights always.
        (void)::fchown(target.get(), st.st_uid, st.st_gid);
        if (::fchmod(target.get(), st.st_mode & 07777) != 0) {
            error = errno;
        }
    }
    if (error == 0) {
        const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
        (void)::futimens(target.get(), times.data());
        // The copy must be on the disk before the only other copy goes.
        if (::fsync(target.get()) != 0) {
            error = errno;
        }
    }
    if (error == 0 && ::close(target.release()) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(toDir) != 0 && errno != EINVAL) {
        error = errno;
    }
    if (error != 0) {
        target.reset();
        ::unlinkat(toDir, toName.c_str(), 0);
    }
    return error;
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c <= '9') {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

void appendEscaped(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0xf];
}

}  // namespace

void Fd::reset(int fd) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
}

Fd openFolder(const std::string& path) {
    return Fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

Fd openFolderChain(int base, const std::vector<std::string>& names, bool create, mode_t mode) {
    Fd current(::fcntl(base, F_DUPFD_CLOEXEC, 0));
    for (const std::string& name : names) {
        if (!current.valid()) {
            break;
        }
        if (create && ::mkdirat(current.get(), name.c_str(), mode) != 0 && errno != EEXIST) {
            return Fd();
        }
        current = Fd(
            ::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

MoveResult moveFileAt(int fromDir, const std::string& name, const struct stat& st, int toDir,
                      const std::string& toName, const std::function<void()>& beforeOriginalGoes,
                      int* error) {
    auto fail = [error](int code) {
        if (error != nullptr) {
            *error = code;
        }
        return code == EEXIST ? MoveResult::Clash : MoveResult::Failed;
    };
    struct stat destination {};
    if (::fstat(toDir, &destination) != 0) {
        return fail(errno);
    }
    bool announced = false;
    if (destination.st_dev == st.st_dev) {
        if (exists(toDir, toName)) {
            return fail(EEXIST);
        }
        beforeOriginalGoes();
        announced = true;
        // No sync after a rename: should the system go down before it reaches
        // the disk, the file is simply still where it was, which the record's
        // reader takes as "in place".
        if (::renameat2(fromDir, name.c_str(), toDir, toName.c_str(), RENAME_NOREPLACE) == 0) {
            return MoveResult::Moved;
        }
        // Some file systems know no "no replace" flag: test, then rename.
        if (errno == EINVAL) {
            if (exists(toDir, toName)) {
                return fail(EEXIST);
            }
            if (::renameat(fromDir, name.c_str(), toDir, toName.c_str()) == 0) {
                return MoveResult::Moved;
            }
        }
        // One device mounted twice still refuses a rename between the mounts.
        if (errno != EXDEV) {
            return fail(errno);
        }
    }
    if (const int copyError = copyFileAt(fromDir, name, st, toDir, toName); copyError != 0) {
        return fail(copyError);
    }
    auto dropCopy = [&] { ::unlinkat(toDir, toName.c_str(), 0); };
    try {
        if (!announced) {
            beforeOriginalGoes();
        }
    } catch (...) {
        dropCopy();
        throw;
    }
    // Unlink only the file that was copied, not one that took its name since.
    struct stat now {};
    int code = 0;
    if (::fstatat(fromDir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
        code = errno;
    } else if (!sameFile(now, st)) {
        code = ESTALE;
    } else if (::unlinkat(fromDir, name.c_str(), 0) != 0) {
        code = errno;
    }
    if (code != 0) {
        dropCopy();
        return fail(code == EEXIST ? ESTALE : code);
    }
    return MoveResult::Moved;
}

std::string escapeField(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '%') {
            appendEscaped(out, byte);
        } else {
            out += c;
        }
    }
    return out;
}

std::string escapeUriPath(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                                c == '~' || c == '/';
        if (unreserved) {
            out += c;
        } else {
            appendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::string unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string folderRealPath(int folderFd) {
    const std::string link = "/proc/self/fd/" + std::to_string(folderFd);
    std::array<char, PATH_MAX + 1> buffer{};
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    if (length <= 0 || buffer[0] != '/') {
        return {};
    }
    std::string path(buffer.data(), static_cast<size_t>(length));
    // A folder removed meanwhile reads "... (deleted)": not a place to return to.
    struct stat byPath {
    }, byFd{};
    if (::stat(path.c_str(), &byPath) != 0 || ::fstat(folderFd, &byFd) != 0 ||
        !sameFile(byPath, byFd)) {
        return {};
    }
    return path;
}

}  // namespace vaskord::files
