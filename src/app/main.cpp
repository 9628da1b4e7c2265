// Entry point: the application object, the windows in their order, the message loop.
#include "app/command_line.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/service.h"
#include "format/c_numbers.h"
#include "ui/messages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

// The icon installed beside the program (prefix/share/icons), so that an installation in any prefix, not only
// one the desktop's icon theme searches, shows it on its windows.
QIcon programIcon()
{
    QIcon icon;
    const QDir icons(QApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor"));
    for (const QString& size : icons.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = icons.filePath(size + QStringLiteral("/apps/kesta-tabel.png"));
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral("kesta-tabel")) : icon;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const auto exitCode = answerInfoOption(argc, argv, __DATE__, __TIME__))
        return *exitCode;

    QApplication app(argc, argv);
    // The application object took the C library's locale from the environment; numbers written into files and
    // statements keep the C notation (QLocale decides what windows show).
    format::useCNumbers();
    QApplication::setApplicationName(QStringLiteral("kesta_tabel"));
    QApplication::setApplicationVersion(QStringLiteral(KESTA_VERSION));
    // Ties the windows to the menu entry (kesta-tabel.desktop) on desktops that match them by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("kesta-tabel"));
    QApplication::setWindowIcon(programIcon());
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    // Standard buttons and dialogs in Russian, like the rest of the program.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    const StartArguments args = startArguments(QApplication::arguments());
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(args.error));
        return 64;
    }
    Windows windows;
    windows.arg1 = args.arg1;
    windows.arg2 = args.arg2;
    // A personal login when the administrator set up a connection service; the built-in connection otherwise.
    windows.service = db::chooseService(args.service);
    // The built-in connection is made on a thread once the first window is on the screen (the server starts a
    // process for it meanwhile); the journal window takes it over. A personal login connects as its service says
    // when the data module opens it.
    if (windows.service.isEmpty() && db::builtinConnectionAllowed())
        windows.startConnection = [&windows] {
            db::Connection::connectEarly(db::connectionStringFor(windows.arg1, windows.arg2));
        };
    windows.buildDate = QStringLiteral(__DATE__);
    windows.buildTime = QStringLiteral(__TIME__);

    int result = 0;
    try {
        createWindows(windows, true);
        // A start refused before the loop (no connection) ends the program with a failure code.
        result = windows.terminateRequested ? 1 : app.exec();
        result = std::max(result, windows.exitCode);
    } catch (const std::exception& e) {
        ui::Messages::standardError(QString::fromUtf8(e.what()));
    } catch (...) {
        ui::Messages::standardError(QString());
    }
    destroyWindows(windows);
    return result;
}
