// The whole application against a test database: the windows built in their order, messages and modal windows
// scripted, ready for a test to drive handlers, clicks and keys.
#pragma once

#include "app/window_registry.h"
#include "support/test_database.h"

class AppFixture {
public:
    // The build stamp the program carries, as the compiler writes it.
    explicit AppFixture(TestDatabase& db, const QString& buildDate = QStringLiteral("Dec 10 2026"),
                        const QString& buildTime = QStringLiteral("10:00:00"));
    AppFixture(const QString& arg1, const QString& arg2, const QString& buildDate, const QString& buildTime);
    // Started with a connection service (a personal login) in place of the built-in connection.
    struct Service {
        QString name;
    };
    explicit AppFixture(const Service& service, const QString& buildDate = QStringLiteral("Dec 10 2026"),
                        const QString& buildTime = QStringLiteral("10:00:00"));
    ~AppFixture();

    Windows w;

    // Types an access code into the authorization window and presses "Вход"; the journal is then shown modally
    // and the given script runs inside it (the journal is closed after the script).
    void login(const QString& code, const std::function<void()>& insideJournal = {});

private:
    void start(const QString& arg1, const QString& arg2, const QString& buildDate, const QString& buildTime,
               const QString& service = {});
};
