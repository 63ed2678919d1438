#pragma once

#include <QString>

namespace vaskord {

// The blue look every control, window, dialog and message box of the program
// shares, standing in for the skin the operators know.
QString office2007BlueStyleSheet();

// The window asks for "宋体" and "MS Sans Serif"; map them to fonts a Linux
// desktop has, with a CJK font behind each so no Chinese text shows boxes.
void installFontSubstitutes();

}  // namespace vaskord
