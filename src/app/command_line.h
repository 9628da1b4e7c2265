// The options that only print something (--version, --help). They are answered before the application object
// exists, so they need neither a display nor the database; every other argument keeps its meaning (argument 1
// the database, argument 2 the server).
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// When an argument is exactly "--version" or "--help", prints the answer to standard output and returns the
// exit code; otherwise returns nothing and the program starts as usual.
std::optional<int> answerInfoOption(int argc, const char* const* argv, const char* compilerDate,
                                    const char* compilerTime);

// The arguments of a start: "--service NAME" (or "--service=NAME") taken out, the rest keep their places
// (argument 1 the database, argument 2 the server).
struct StartArguments {
    QString arg1;
    QString arg2;
    QString service;
    QString error; // what is wrong with the arguments, in words; empty when nothing is
};
StartArguments startArguments(const QStringList& arguments);
