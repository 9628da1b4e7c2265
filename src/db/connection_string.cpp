#include "db/connection_string.h"

#include "db/service.h"

namespace db {

QString connectionStringValue(const QString& value)
{
    // A value that holds a separator, a brace, an equals sign or blanks at its ends goes between braces, with a
    // closing brace doubled, so that "srv;DATABASE=x" stays one value and adds no key.
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       !value.contains(u'=') && value == value.trimmed();
    if (plain)
        return value;
    QString out = QStringLiteral("{");
    for (QChar c : value) {
        out += c;
        if (c == u'}')
            out += u'}';
    }
    out += u'}';
    return out;
}

QString assembleConnectionString(const QString& database, const QString& server)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + connectionStringValue(database) +
           QStringLiteral(";SERVER=") + connectionStringValue(server) +
           QStringLiteral(";PORT=5432;UID=sys;PWD=wumbral;SSLmode=allow;") +
           QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;ShowSystemTables=0;"
                          "Fetch=100;UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;") +
           QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;"
                          "BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;") +
           QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;LowerCaseIdentifier=0;"
                          "D6=-101;OptionalErrors=0;XaOpt=1");
}

QString defaultConnectionString()
{
    return assembleConnectionString(QString::fromLatin1(kDefaultDatabase), QString::fromLatin1(kDefaultServer));
}

QString connectionStringFor(const QString& arg1, const QString& arg2)
{
    if (arg2.isEmpty())
        return defaultConnectionString();
    return assembleConnectionString(arg1, arg2);
}

ConnectionOptions parseConnectionString(const QString& text)
{
    ConnectionOptions o;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) { // a piece without "=": skipped
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed().toUpper();
        QString value;
        i = eq + 1;
        if (i < n && text[i] == u'{') {
            // Braced: up to the closing brace; "}}" stands for one brace inside.
            ++i;
            while (i < n) {
                if (text[i] == u'}') {
                    if (i + 1 < n && text[i + 1] == u'}') {
                        value += u'}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            const qsizetype end = text.indexOf(u';', i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', i);
            value = text.mid(i, (end < 0 ? n : end) - i);
            i = end < 0 ? n : end + 1;
        }
        if (key == u"DATABASE")
            o.database = value;
        else if (key == u"SERVER")
            o.server = value;
        else if (key == u"PORT")
            o.port = value.toInt();
        else if (key == u"UID")
            o.user = value;
        else if (key == u"PWD")
            o.password = value;
        else if (key == u"SSLMODE")
            o.sslMode = value;
    }
    return o;
}

QString connectionDescription(const QString& arg1, const QString& arg2, const QString& service)
{
    if (service.isEmpty()) {
        const ConnectionOptions where = parseConnectionString(connectionStringFor(arg1, arg2));
        return QStringLiteral("Сервер: %1\nБаза данных: %2").arg(where.server, where.database);
    }
    const ServiceDefinition def = findService(service);
    const auto setting = [&](const char* key) {
        const QString v = def.settings.value(QString::fromLatin1(key));
        return v.isEmpty() ? QStringLiteral("(по умолчанию libpq)") : v;
    };
    if (!def.found)
        return QStringLiteral("Служба подключения: %1 (не описана ни в одном файле служб)").arg(service);
    const QString text = QStringLiteral("Служба подключения: %1 (%2)").arg(service, def.file);
    if (!arg2.isEmpty())
        return text + QStringLiteral("\nСервер: %1\nБаза данных: %2").arg(arg2, arg1);
    return text + QStringLiteral("\nСервер: %1\nБаза данных: %2\nУчётная запись: %3")
                      .arg(setting("host"), def.settings.value(QStringLiteral("dbname"), QString::fromLatin1(kDefaultDatabase)),
                           setting("user"));
}

} // namespace db
