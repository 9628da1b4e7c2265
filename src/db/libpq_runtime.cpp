// libpq's functions as the program calls them, each found in the library on its first call instead of being bound
// when the program is loaded. The library and the twenty it needs (TLS, Kerberos, LDAP) cost a start a quarter of
// the time to the first window; Qt's PostgreSQL driver loads it anyway with the first connection, which the program
// makes on a thread of its own once that window is on the screen.
#include "db/library_on_demand.h"

#include <libpq-fe.h>

namespace {

constexpr char kLibpq[] = "libpq.so.5";

} // namespace

#define KESTA_LIBPQ(Result, name, parameters, arguments)                                                              \
    KESTA_FUNCTION_ON_DEMAND(kLibpq, Result, name, parameters, arguments)

KESTA_LIBPQ(char*, PQuser, (const PGconn* conn), (conn))
KESTA_LIBPQ(char*, PQhost, (const PGconn* conn), (conn))
KESTA_LIBPQ(ConnStatusType, PQstatus, (const PGconn* conn), (conn))
KESTA_LIBPQ(PGTransactionStatusType, PQtransactionStatus, (const PGconn* conn), (conn))
KESTA_LIBPQ(char*, PQerrorMessage, (const PGconn* conn), (conn))
KESTA_LIBPQ(int, PQsocket, (const PGconn* conn), (conn))
KESTA_LIBPQ(int, PQsslInUse, (PGconn * conn), (conn))
KESTA_LIBPQ(PGresult*, PQexec, (PGconn * conn, const char* query), (conn, query))
KESTA_LIBPQ(int, PQsendQuery, (PGconn * conn, const char* query), (conn, query))
KESTA_LIBPQ(int, PQsendQueryParams,
            (PGconn * conn, const char* command, int nParams, const Oid* paramTypes, const char* const* paramValues,
             const int* paramLengths, const int* paramFormats, int resultFormat),
            (conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats, resultFormat))
KESTA_LIBPQ(PGresult*, PQgetResult, (PGconn * conn), (conn))
KESTA_LIBPQ(int, PQenterPipelineMode, (PGconn * conn), (conn))
KESTA_LIBPQ(int, PQexitPipelineMode, (PGconn * conn), (conn))
KESTA_LIBPQ(int, PQpipelineSync, (PGconn * conn), (conn))
KESTA_LIBPQ(ExecStatusType, PQresultStatus, (const PGresult* res), (res))
KESTA_LIBPQ(char*, PQresultErrorMessage, (const PGresult* res), (res))
KESTA_LIBPQ(char*, PQresultErrorField, (const PGresult* res, int fieldcode), (res, fieldcode))
KESTA_LIBPQ(int, PQntuples, (const PGresult* res), (res))
KESTA_LIBPQ(int, PQnfields, (const PGresult* res), (res))
KESTA_LIBPQ(char*, PQfname, (const PGresult* res, int field_num), (res, field_num))
KESTA_LIBPQ(Oid, PQftype, (const PGresult* res, int field_num), (res, field_num))
KESTA_LIBPQ(char*, PQcmdStatus, (PGresult * res), (res))
KESTA_LIBPQ(char*, PQcmdTuples, (PGresult * res), (res))
KESTA_LIBPQ(char*, PQgetvalue, (const PGresult* res, int tup_num, int field_num), (res, tup_num, field_num))
KESTA_LIBPQ(int, PQgetlength, (const PGresult* res, int tup_num, int field_num), (res, tup_num, field_num))
KESTA_LIBPQ(int, PQgetisnull, (const PGresult* res, int tup_num, int field_num), (res, tup_num, field_num))
KESTA_LIBPQ(void, PQclear, (PGresult * res), (res))
KESTA_LIBPQ(PGresult*, PQcopyResult, (const PGresult* src, int flags), (src, flags))
KESTA_LIBPQ(int, PQsetvalue, (PGresult * res, int tup_num, int field_num, char* value, int len),
            (res, tup_num, field_num, value, len))
