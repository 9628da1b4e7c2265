// Entry point: the application object, the windows in their order, the message loop.
#include "app/startup.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <exception>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kesta_tabel"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    // Standard buttons and dialogs in Russian, like the rest of the program.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

    Windows windows;
    const QStringList args = QApplication::arguments();
    windows.arg1 = args.size() > 1 ? args[1] : QString();
    windows.arg2 = args.size() > 2 ? args[2] : QString();
    windows.buildDate = QStringLiteral(__DATE__);
    windows.buildTime = QStringLiteral(__TIME__);

    int result = 0;
    try {
        createWindows(windows);
        // A start refused before the loop (no connection) ends the program with a failure code.
        result = windows.terminateRequested ? 1 : app.exec();
    } catch (const std::exception& e) {
        ui::Messages::standardError(QString::fromUtf8(e.what()));
    } catch (...) {
        ui::Messages::standardError(QString());
    }
    destroyWindows(windows);
    return result;
}
