#include "support/app_fixture.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "ui/messages.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

AppFixture::AppFixture(TestDatabase& db, const QString& buildDate, const QString& buildTime)
{
    start(db.name(), db.server(), buildDate, buildTime);
}

AppFixture::AppFixture(const QString& arg1, const QString& arg2, const QString& buildDate, const QString& buildTime)
{
    start(arg1, arg2, buildDate, buildTime);
}

AppFixture::AppFixture(const Service& service, const QString& buildDate, const QString& buildTime)
{
    start({}, {}, buildDate, buildTime, service.name);
}

void AppFixture::start(const QString& arg1, const QString& arg2, const QString& buildDate, const QString& buildTime,
                       const QString& service)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    // The windows' kept places and widths go to a folder of the test run's own, never the user's settings.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    ui::Messages::setScripted(true);
    ui::Messages::clearShown();
    // No message may wait for the user while a transaction holds its locks (the program warns when one does).
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^A message box shown while a transaction is open")));
    ui::clearModalScripts();
    w.arg1 = arg1;
    w.arg2 = arg2;
    w.service = service;
    w.buildDate = buildDate;
    w.buildTime = buildTime;
    // Ending the real loop would make every later modal loop of the test return at once.
    w.endMessageLoop = [] {};
    createWindows(w);
}

AppFixture::~AppFixture()
{
    destroyWindows(w);
    ui::clearModalScripts();
    ui::Messages::clearShown();
}

void AppFixture::login(const QString& code, const std::function<void()>& insideJournal)
{
    ui::scriptModal(QStringLiteral("JournalWindow"), [insideJournal](QDialog* journal) {
        if (insideJournal)
            insideJournal();
        journal->close();
    });
    widget<QLineEdit>(w.authorization, "Edit1")->setText(code);
    widget<QPushButton>(w.authorization, "Button1")->click();
}
