#include "db/libpq.h"

#include "db/library_on_demand.h"

namespace db {

namespace {

constexpr char kLibpq[] = "libpq.so.5";

template <typename F>
void find(F& slot, const char* name)
{
    slot = functionOf<F>(kLibpq, name);
}

Libpq load()
{
    Libpq t{};
    find(t.connectdbParams, "PQconnectdbParams");
    find(t.finish, "PQfinish");
    find(t.status, "PQstatus");
    find(t.transactionStatus, "PQtransactionStatus");
    find(t.errorMessage, "PQerrorMessage");
    find(t.socket, "PQsocket");
    find(t.sslInUse, "PQsslInUse");
    find(t.user, "PQuser");
    find(t.host, "PQhost");
    find(t.backendPID, "PQbackendPID");
    find(t.exec, "PQexec");
    find(t.sendQueryParams, "PQsendQueryParams");
    find(t.getResult, "PQgetResult");
    find(t.enterPipelineMode, "PQenterPipelineMode");
    find(t.exitPipelineMode, "PQexitPipelineMode");
    find(t.pipelineSync, "PQpipelineSync");
    find(t.consumeInput, "PQconsumeInput");
    find(t.notifies, "PQnotifies");
    find(t.freemem, "PQfreemem");
    find(t.resultStatus, "PQresultStatus");
    find(t.resultErrorMessage, "PQresultErrorMessage");
    find(t.resultErrorField, "PQresultErrorField");
    find(t.ntuples, "PQntuples");
    find(t.nfields, "PQnfields");
    find(t.fname, "PQfname");
    find(t.ftype, "PQftype");
    find(t.cmdStatus, "PQcmdStatus");
    find(t.cmdTuples, "PQcmdTuples");
    find(t.getvalue, "PQgetvalue");
    find(t.getlength, "PQgetlength");
    find(t.getisnull, "PQgetisnull");
    find(t.clear, "PQclear");
    return t;
}

} // namespace

const Libpq& pq()
{
    static const Libpq table = load();
    return table;
}

} // namespace db
