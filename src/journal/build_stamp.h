// The build stamp of the running program: the build date as year*10000+month*100+day and the build time as
// seconds since midnight, from the compiler's date ("Feb 11 2023") and time ("15:36:35") texts.
#pragma once

#include <QString>

int buildDateNumber(const QString& compilerDate); // throws db::ConversionError on a malformed text
int buildTimeNumber(const QString& compilerTime); // throws db::ConversionError on a malformed text
// (d1, t1) is older than (d2, t2): date first, then time.
bool stampOlder(int d1, int t1, int d2, int t2);
// What an old build's refusal says beside its message (and on standard error): this build's stamp and the one in the
// database, each as "dd.MM.yyyy hh:mm:ss".
QString buildRefusalDetails(int programDate, int programTime, int databaseDate, int databaseTime);
