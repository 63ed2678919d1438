#pragma once

#include <QByteArray>
#include <QString>

namespace vaskord {

// The message to print instead of opening the window when the toolkit would
// talk to an X server that is not there; empty when the window can open.
QString missingDisplayMessage(const QByteArray& platform, const QByteArray& display,
                              const QByteArray& waylandDisplay);

// The regional settings dates are shown and read in: the operator's own, or
// Chinese (China) where the system names none (the C locale).
void chooseOperatorLocale();

}  // namespace vaskord
