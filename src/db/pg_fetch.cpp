#include "db/pg_fetch.h"

#include "db/command.h"
#include "db/db_error.h"
#include "db/session.h"

#include "db/connector.h"
#include "db/libpq.h"

#include <QDateTime>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace db {

namespace {

// Type oids of the server's built-in types.
enum : Oid {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
};

int digits(const char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

// "YYYY-MM-DD" (ISO output of the session's DateStyle)
QDate parseDate(const char* s)
{
    if (std::strlen(s) < 10 || s[4] != '-' || s[7] != '-')
        return QDate::fromString(QString::fromLatin1(s), Qt::ISODate);
    return QDate(digits(s, 4), digits(s + 5, 2), digits(s + 8, 2));
}

// "YYYY-MM-DD HH:MM:SS[.ffffff][+tz]"
QDateTime parseTimestamp(const char* s)
{
    const QDate d = parseDate(s);
    if (std::strlen(s) < 19)
        return QDateTime(d, QTime(0, 0), Qt::UTC);
    int ms = 0;
    if (s[19] == '.') {
        int scale = 100;
        for (const char* p = s + 20; *p >= '0' && *p <= '9'; ++p, scale /= 10)
            ms += (*p - '0') * scale;
    }
    return QDateTime(d, QTime(digits(s + 11, 2), digits(s + 14, 2), digits(s + 17, 2), ms), Qt::UTC);
}

QMetaType::Type metaTypeFor(FieldType t, Oid oid)
{
    switch (t) {
    case FieldType::Integer:
    case FieldType::SmallInt:
        return QMetaType::Int;
    case FieldType::BigInt:
        return QMetaType::LongLong;
    case FieldType::Double:
    case FieldType::Numeric:
        return QMetaType::Double;
    case FieldType::Text:
    case FieldType::NarrowText:
        return QMetaType::QString;
    case FieldType::DateTime:
        return QMetaType::QDateTime;
    case FieldType::Auto:
        break;
    }
    switch (oid) {
    case kBool:
        return QMetaType::Bool;
    case kInt2:
    case kInt4:
        return QMetaType::Int;
    case kInt8:
        return QMetaType::LongLong;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QMetaType::Double;
    case kDate:
        return QMetaType::QDate;
    case kTimestamp:
    case kTimestampTz:
        return QMetaType::QDateTime;
    default:
        return QMetaType::QString;
    }
}

// Most numbers are short plain decimals ("12", "-3", "10.25"): read them without the general parser. With at most
// 15 digits the digits make an exact integer and one division by an exact power of ten rounds once, which gives
// the same double as the general parser. Anything else goes to it.
// The general parser: independent of the C locale, which on a Russian workstation wants a decimal comma.
double parseGeneral(const char* s, int len)
{
    double v = 0;
    const auto r = std::from_chars(s, s + len, v);
    if (r.ec != std::errc() || r.ptr != s + len) {
        const QString text = QString::fromUtf8(s, len);
        bool ok = false;
        v = QLocale::c().toDouble(text, &ok); // "Infinity", "NaN"
        if (!ok)
            throw ConversionError(QStringLiteral("'%1' не является числом").arg(text));
    }
    return v;
}

double parseNumber(const char* s, int len)
{
    static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    int i = 0;
    const bool negative = len > 0 && s[0] == '-';
    if (negative)
        ++i;
    qint64 mantissa = 0;
    int digitCount = 0, decimals = 0;
    bool point = false;
    for (; i < len; ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + (c - '0');
            if (++digitCount > 15)
                return parseGeneral(s, len);
            if (point)
                ++decimals;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return parseGeneral(s, len);
        }
    }
    if (digitCount == 0)
        return parseGeneral(s, len);
    const double v = static_cast<double>(mantissa) / kPow10[decimals];
    return negative ? -v : v;
}

struct ResultGuard {
    PGresult* r;
    ~ResultGuard() { pq().clear(r); }
};

} // namespace

FetchedRows readRows(const PGresult* res, const std::function<QVector<FieldType>(const QStringList&)>& typesFor)
{
    FetchedRows out;
    const int cols = pq().nfields(res);
    const int rows = pq().ntuples(res);
    for (int c = 0; c < cols; ++c)
        out.names.append(QString::fromUtf8(pq().fname(res, c)));
    const QVector<FieldType> declared = typesFor ? typesFor(out.names) : QVector<FieldType>();
    QVector<QMetaType::Type> types(cols);
    QVector<Oid> oids(cols);
    for (int c = 0; c < cols; ++c) {
        oids[c] = pq().ftype(res, c);
        types[c] = metaTypeFor(c < declared.size() ? declared[c] : FieldType::Auto, oids[c]);
    }
    out.rows.setColumns(types);
    out.rows.reserve(rows);
    // Each column is read on its own, all its rows at once. Neighbouring rows often repeat a value (the date, a
    // name): the column's last cell is repeated. A text seen before in the column is kept once.
    auto readColumn = [&](int c) {
        const char* lastText = nullptr; // into the result, which lives until the end
        int lastLength = -1;
        std::unordered_map<std::string_view, quint32> textIndex;
        for (int r = 0; r < rows; ++r) {
            const int len = pq().getlength(res, r, c);
            if (len == 0 && pq().getisnull(res, r, c)) {
                out.rows.appendNull(c);
                lastLength = -1;
                continue;
            }
            const char* s = pq().getvalue(res, r, c);
            if (lastLength == len && std::memcmp(lastText, s, size_t(len)) == 0) {
                out.rows.appendSameAsLast(c);
                continue;
            }
            lastText = s;
            lastLength = len;
            switch (types[c]) {
            case QMetaType::Int: {
                const double v = std::round(parseNumber(s, len));
                if (v < INT32_MIN || v > INT32_MAX)
                    throw ConversionError(
                        QStringLiteral("Число %1 вне допустимого диапазона").arg(QString::fromUtf8(s, len)));
                out.rows.appendInteger(c, static_cast<qint64>(v));
                break;
            }
            case QMetaType::LongLong:
                out.rows.appendInteger(c, std::llround(parseNumber(s, len)));
                break;
            case QMetaType::Double:
                out.rows.appendDouble(c, parseNumber(s, len));
                break;
            case QMetaType::Bool:
                out.rows.appendInteger(c, s[0] == 't' ? 1 : 0);
                break;
            case QMetaType::QDate:
                out.rows.appendDate(c, parseDate(s));
                break;
            case QMetaType::QDateTime:
                out.rows.appendDateTime(c, oids[c] == kDate ? QDateTime(parseDate(s), QTime(0, 0), Qt::UTC)
                                                            : parseTimestamp(s));
                break;
            default: {
                auto [it, added] = textIndex.try_emplace(std::string_view(s, size_t(len)), 0);
                if (added)
                    it->second = out.rows.addText(c, QString::fromUtf8(s, len));
                out.rows.appendText(c, it->second);
                break;
            }
            }
        }
    };
    // A large result (a year's report) is read by two threads, each taking every other column; a day's rows by one.
    constexpr qint64 kCellsForTwoThreads = 100000;
    if (cols > 1 && qint64(rows) * cols >= kCellsForTwoThreads) {
        std::exception_ptr failures[2];
        auto readEveryOther = [&](int first) {
            try {
                for (int c = first; c < cols; c += 2)
                    readColumn(c);
            } catch (...) {
                failures[first] = std::current_exception();
            }
        };
        std::thread other(readEveryOther, 1);
        readEveryOther(0);
        other.join();
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
    } else {
        for (int c = 0; c < cols; ++c)
            readColumn(c);
    }
    out.rows.finishRows(rows);
    return out;
}

double readNumber(const char* text, int length)
{
    return parseNumber(text, length);
}

FetchedRows fetchAll(const QString& connectionName, const QString& text,
                     const std::function<QVector<FieldType>(const QStringList&)>& typesFor)
{
    Connector& db = openConnection(connectionName);
    PGconn* conn = db.handle();
    ResultGuard res{nullptr};
    {
        ServerWait wait(db);
        res.r = pq().exec(conn, text.toUtf8().constData());
    }
    db.statementDone();
    const ExecStatusType status = pq().resultStatus(res.r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        QString message = QString::fromUtf8(pq().resultErrorField(res.r, PG_DIAG_MESSAGE_PRIMARY));
        if (message.isEmpty())
            message = QString::fromUtf8(pq().errorMessage(conn)).trimmed();
        const QString sqlState = QString::fromLatin1(pq().resultErrorField(res.r, PG_DIAG_SQLSTATE));
        const QString severity = QString::fromLatin1(pq().resultErrorField(res.r, PG_DIAG_SEVERITY_NONLOCALIZED));
        pq().clear(res.r); // the error is read; the connection check below runs its own statement
        res.r = nullptr;
        // Reading changes nothing: after a lost connection the list simply was not read.
        throwAfterFailure(connectionName, DbError(message, sqlState, severity), Outcome::NotDone);
    }
    return readRows(res.r, typesFor);
}

} // namespace db
