#include "db/connection_string.h"

namespace db {

QString assembleConnectionString(const QString& database, const QString& server)
{
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database + QStringLiteral(";SERVER=") + server +
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
    const QStringList pairs = text.split(u';');
    for (const QString& pair : pairs) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = pair.left(eq).trimmed().toUpper();
        const QString value = pair.mid(eq + 1);
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

} // namespace db
