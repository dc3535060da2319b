// SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
// SPDX-License-Identifier: GPL-3.0-or-later

#include "frmkelvane.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef KELVANE_VERSION
#error "KELVANE_VERSION must be defined by the build"
#endif

// Returns true unless this is a Unix desktop session without any display, in
// which case Qt would abort with a message that does not say what to do.
static bool displayAvailable(int argc, char* argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#endif
}

// Points XDG_RUNTIME_DIR at the directory Qt would fall back to when a session
// (su, a console or a container without a login manager) leaves it unset.
// Qt looks there at every start, for a sandbox marker, and warns about the
// missing variable on every start; the program itself keeps nothing there.
// The directory is the user's /run/user/UID when it exists, or else Qt's own
// TMPDIR/runtime-USER; it is only used when it is a private directory of this
// user, otherwise Qt decides and warns as before.
static void setRuntimeDirectory()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value && *value)
        return;
    const uid_t uid = geteuid();
    const auto isPrivate = [uid](const std::string& path) {
        struct stat info = {};
        return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
               (info.st_mode & 0777) == 0700;
    };
    std::string path = "/run/user/" + std::to_string(uid);
    if (!isPrivate(path)) {
        const passwd* user = getpwuid(uid);
        if (user == nullptr)
            return;
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/runtime-" + user->pw_name;
        mkdir(path.c_str(), 0700);
        if (!isPrivate(path))
            return;
    }
    setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
#endif
}

// Sets up the options that the program understands.
static void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Encrypts a text into runs of digits, and back, with one of ten keys.\n"
                       "The cipher hides text from a casual glance; do not use it for secrets."));
    parser.addHelpOption();
    parser.addVersionOption();
}

int main(int argc, char* argv[])
{
    // The class name in WM_CLASS, which the desktop entry's StartupWMClass names.
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-encryptor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));

    // --help and --version are answered before a window system is needed: a
    // QApplication would abort without a display.
    {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        addOptions(parser);
        const bool parsed = parser.parse(QCoreApplication::arguments());
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        if (!displayAvailable(argc, argv)) {
            // With a display, errors wait for the second pass, once QApplication
            // has taken its own options such as -platform out of the arguments.
            if (!parsed) {
                std::fprintf(stderr,
                             "kelvane-encryptor: %s\n"
                             "Try 'kelvane-encryptor --help' for more information.\n",
                             qPrintable(parser.errorText()));
                return 1;
            }
            std::fputs("kelvane-encryptor: no graphical display found; start it from a desktop\n"
                       "session (DISPLAY or WAYLAND_DISPLAY set) or choose one with "
                       "QT_QPA_PLATFORM.\n",
                       stderr);
            return 1;
        }
    }

    setRuntimeDirectory();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.KelvaneEncryptor"));
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);

    frmKelvane window;
    QApplication::setWindowIcon(window.windowIcon());
    window.show();
    return app.exec();
}
