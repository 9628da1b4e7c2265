// The two error types of the data layer: a failed statement and a failed conversion of a value.
#pragma once

#include <QString>
#include <stdexcept>

class QSqlError;

namespace db {

// A row that a change was to act on is gone or changed on the server.
inline constexpr const char* kRowGoneMessage = "Запись не найдена: её изменили или удалили на другом рабочем месте.";
// A change was committed and only the re-read of the list after it failed.
inline constexpr const char* kSavedNotRefreshedMessage =
    "Изменение сохранено, но список не обновлён. Нажмите «Обновить», чтобы увидеть данные.";

// A statement failed on the server or the connection failed: carries the server's text and SQLSTATE.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& text, const QString& sqlState = {});
    static DbError fromSqlError(const QSqlError& error);
    QString text() const { return text_; }
    QString sqlState() const { return sqlState_; }

private:
    QString text_;
    QString sqlState_;
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
