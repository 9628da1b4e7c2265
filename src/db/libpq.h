// libpq's functions as the data layer calls them: a table of pointers filled from the library the first time any
// of them is needed, not when the program is loaded. The library and the twenty it needs (TLS, Kerberos, LDAP)
// would cost a start a quarter of the time to the first window; the program makes its first connection on a
// thread of its own once that window is on the screen. The table's members have names of the program's own, so a
// process that also links libpq (a benchmark's lower bound) keeps libpq's functions as they are.
// Only the data layer's own files include this header.
#pragma once

#include <libpq-fe.h>

namespace db {

struct Libpq {
    decltype(&::PQconnectdbParams) connectdbParams;
    decltype(&::PQfinish) finish;
    decltype(&::PQstatus) status;
    decltype(&::PQtransactionStatus) transactionStatus;
    decltype(&::PQerrorMessage) errorMessage;
    decltype(&::PQsocket) socket;
    decltype(&::PQsslInUse) sslInUse;
    decltype(&::PQuser) user;
    decltype(&::PQhost) host;
    decltype(&::PQbackendPID) backendPID;
    decltype(&::PQexec) exec;
    decltype(&::PQsendQueryParams) sendQueryParams;
    decltype(&::PQgetResult) getResult;
    decltype(&::PQenterPipelineMode) enterPipelineMode;
    decltype(&::PQexitPipelineMode) exitPipelineMode;
    decltype(&::PQpipelineSync) pipelineSync;
    decltype(&::PQconsumeInput) consumeInput;
    decltype(&::PQnotifies) notifies;
    decltype(&::PQfreemem) freemem;
    decltype(&::PQresultStatus) resultStatus;
    decltype(&::PQresultErrorMessage) resultErrorMessage;
    decltype(&::PQresultErrorField) resultErrorField;
    decltype(&::PQntuples) ntuples;
    decltype(&::PQnfields) nfields;
    decltype(&::PQfname) fname;
    decltype(&::PQftype) ftype;
    decltype(&::PQcmdStatus) cmdStatus;
    decltype(&::PQcmdTuples) cmdTuples;
    decltype(&::PQgetvalue) getvalue;
    decltype(&::PQgetlength) getlength;
    decltype(&::PQgetisnull) getisnull;
    decltype(&::PQclear) clear;
};

// The table, filled on the first call (libpq loaded then). Throws std::runtime_error when the library cannot be
// loaded or lacks a function.
const Libpq& pq();

} // namespace db
