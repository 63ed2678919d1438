#include "common/ScreenCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace vaskord {

void setHandCursor() {
    if (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::changeOverrideCursor(QCursor(Qt::PointingHandCursor));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    }
}

void setDefaultCursor() {
    while (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::restoreOverrideCursor();
    }
}

bool handCursorShown() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::PointingHandCursor;
}

}  // namespace vaskord
