#pragma once

namespace vaskord {

// Which standard streams were closed when the program started.
struct ClosedStandardStreams {
    bool input = false;
    bool output = false;
    bool error = false;
};

// Opens /dev/null on each of descriptors 0 to 2 that is closed. A file the
// program opens later would otherwise take the lowest free number, and what is
// meant for a standard stream (libmdb's printing, a result line) would be
// written into it. Call first thing in main().
ClosedStandardStreams openClosedStandardStreams();

}  // namespace vaskord
