// A window's controls found by the object names the form gives them, as the tests and the benchmarks drive the
// windows: each window keeps its generated form to itself, and a name that is not there stops the run at once.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

template <class T> T* widget(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s has no %s named %s", window->metaObject()->className(), T::staticMetaObject.className(), name);
    return found;
}
