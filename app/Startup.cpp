#include "app/Startup.h"

#include <QList>
#include <QLocale>

using namespace Qt::StringLiterals;

namespace vaskord {

QString missingDisplayMessage(const QByteArray& platform, const QByteArray& display,
                              const QByteArray& waylandDisplay) {
    // Without a chosen platform the toolkit takes X11, or Wayland in a Wayland session.
    const QByteArray first = platform.split(';').constFirst().split(':').constFirst().trimmed();
    const bool needsX11 = first == "xcb" || (first.isEmpty() && waylandDisplay.isEmpty());
    if (!needsX11 || !display.isEmpty()) {
        return {};
    }
    return u"没有可用的图形显示(未设置 DISPLAY),无法打开窗口。\n"
           u"请在桌面会话中运行,或在虚拟显示中运行,例如: xvfb-run -a vaskord\n"
           u"No graphical display (DISPLAY is not set), so the window cannot open.\n"
           u"Run it in a desktop session, or under a virtual display, for example: "
           u"xvfb-run -a vaskord"_s;
}

void chooseOperatorLocale() {
    if (QLocale::system().language() == QLocale::C) {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    }
}

}  // namespace vaskord
