// The two error types of the data layer: a failed statement and a failed conversion of a value.
#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// A row that a change was to act on is gone or changed on the server.
inline constexpr const char* kRowGoneMessage = "Запись не найдена: её изменили или удалили на другом рабочем месте.";
// A row that a change was to act on was changed on another workstation after the list was read.
inline constexpr const char* kRowChangedMessage =
    "Запись изменили на другом рабочем месте. Список обновлён: проверьте запись и повторите действие.";
// A change was committed and only the re-read of the list after it failed.
inline constexpr const char* kSavedNotRefreshedMessage =
    "Изменение сохранено, но список не обновлён. Нажмите «Обновить», чтобы увидеть данные.";

// SQLSTATE codes the program answers in its own words.
namespace sqlstate {
inline constexpr const char* kForeignKeyViolation = "23503"; // a row still used by another table's rows
inline constexpr const char* kCheckViolation = "23514";      // a rule of what a row may hold
inline constexpr const char* kInsufficientPrivilege = "42501"; // the login has no right for the statement
inline constexpr const char* kUndefinedTable = "42P01";    // the database lacks what this build expects
inline constexpr const char* kUndefinedColumn = "42703";
inline constexpr const char* kUndefinedFunction = "42883";
inline constexpr const char* kConnectionFailure = "08006";
inline constexpr const char* kQueryCanceled = "57014";       // the statement's time ran out
inline constexpr const char* kDeadlockDetected = "40P01";
inline constexpr const char* kSerializationFailure = "40001";
inline constexpr const char* kAdminShutdown = "57P01";
inline constexpr const char* kCrashShutdown = "57P02";
} // namespace sqlstate

// A statement failed on the server or the connection failed: carries the server's text and SQLSTATE.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text, const QString& sqlState = {}, const QString& severity = {});
    // The program's explanation of a failure: what happened and what to do; the server's or libpq's own text goes
    // to the details, never into the message a person reads.
    static DbError explained(const QString& reason, const QString& advice, const DbError& cause);
    // The text without the advice (for a failure that the caller explains in its own words).
    QString textWithoutAdvice() const { return withoutAdvice_.isEmpty() ? text_ : withoutAdvice_; }
    QString text() const { return text_; }
    // What the server or libpq said, for whoever puts it right (the box's "Подробнее"); empty when the text is
    // the server's own.
    QString details() const { return details_; }
    void setDetails(const QString& details) { details_ = details; }
    // The connection is down after the failure (no server of the list answered): a lasting problem, said once.
    bool connectionDown() const { return connectionDown_; }
    void setConnectionDown(bool down) { connectionDown_ = down; }
    QString sqlState() const { return sqlState_; }
    // The server's severity, not translated (ERROR, FATAL, PANIC); empty when unknown.
    QString severity() const { return severity_; }

private:
    QString text_;
    QString sqlState_;
    QString severity_;
    QString withoutAdvice_;
    QString details_;
    bool connectionDown_ = false;
};

// A value could not be converted (text to number, a malformed filter, a value that cannot go into a statement).
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text);
    QString text() const { return text_; }

private:
    QString text_;
};

} // namespace db
