// A command: a statement with named parameters that is executed for its effect; and the shared
// execution helpers of datasets and commands.
#pragma once

#include "db/connector.h"
#include "db/db_error.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace db {

// The statement text with every ":name" replaced by the literal of its value (names regardless of case).
// Throws DbError when a parameter has no value.
QString bindParams(const QString& text, const QHash<QString, QVariant>& lowerCaseParams);

// Runs one statement on the named connection and gives its rows; throws DbError with the server's text on failure.
Result execStatement(const QString& connectionName, const QString& text);

class Command : public QObject {
    Q_OBJECT
public:
    Command(const QString& connectionName, const QString& name, QObject* parent = nullptr);

    void setText(const QString& text);
    void setTextLines(const QStringList& lines);
    QString text() const { return text_; }

    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const;

    // Returns the number of rows the statement affected.
    int execute();

private:
    QString connectionName_;
    QString text_;
    QHash<QString, QVariant> params_;
};

} // namespace db
