// A person's own login on the test database, as an administrator sets it up: a login in one of the group roles
// and a connection service that names it.
#pragma once

#include "support/test_database.h"

#include <QTemporaryDir>

// A login in a group role, for one test database; the role belongs to the cluster and is dropped at the end.
class PersonalLogin {
public:
    PersonalLogin(TestDatabase& db, const QString& group);
    ~PersonalLogin();
    PersonalLogin(const PersonalLogin&) = delete;
    PersonalLogin& operator=(const PersonalLogin&) = delete;
    QString name() const { return name_; }

private:
    TestDatabase& db_;
    QString name_;
};

// A service file (PGSERVICEFILE for the life of the object) with the service "kesta" for the login on the test
// database, as the administrator writes it for a person.
class ServiceFile {
public:
    ServiceFile(TestDatabase& db, const QString& login);
    ~ServiceFile();
    ServiceFile(const ServiceFile&) = delete;
    ServiceFile& operator=(const ServiceFile&) = delete;

private:
    QTemporaryDir dir_;
};
