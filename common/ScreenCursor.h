#pragma once

namespace vaskord {

// The application-wide cursor during the long operations. Setting it twice
// does not stack: one call to setDefaultCursor() always brings the arrow back.
void setHandCursor();
void setDefaultCursor();
bool handCursorShown();

}  // namespace vaskord
