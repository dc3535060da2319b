#include "frmkelvane.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

// Returns true unless this is a Unix desktop session without any display, in
// which case Qt would abort with a message that does not say what to do.
static bool displayAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fputs("kelvane-encryptor: no graphical display found; start it from a desktop\n"
                   "session (DISPLAY or WAYLAND_DISPLAY set) or choose one with QT_QPA_PLATFORM.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.KelvaneEncryptor"));
    frmKelvane window;
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return app.exec();
}
