#include "core/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vaskord {

namespace {

bool isClosed(int fd) {
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
}

}  // namespace

ClosedStandardStreams openClosedStandardStreams() {
    ClosedStandardStreams closed;
    bool* flags[] = {&closed.input, &closed.output, &closed.error};
    for (int fd = 0; fd <= 2; ++fd) {
        if (!isClosed(fd)) {
            continue;
        }
        *flags[fd] = true;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null < 0) {
            // Without /dev/null there is no safe place for the streams.
            std::_Exit(EXIT_FAILURE);
        }
        // The lower descriptors are open by now, so the new one is fd itself.
        if (null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return closed;
}

}  // namespace vaskord
