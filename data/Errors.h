#pragma once

#include <QString>

#include "data/Connection.h"

namespace vaskord::data {

// Every failure of this layer leaves through here, so the message an operator
// reads is always UTF-8 Chinese text in a DatabaseError.
[[noreturn]] inline void raise(const QString& message) {
    throw DatabaseError(message.toStdString());
}

}  // namespace vaskord::data
