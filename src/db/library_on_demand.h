// Shared libraries that the program does not load when it starts but when one of their functions is first called:
// each library a start does not need (the database client, the spreadsheet writer) and everything it needs in turn
// would otherwise be loaded and bound before the first window. A file of forwarders defines the library's
// functions the program calls, each with KESTA_FUNCTION_ON_DEMAND, and the declarations in the library's own
// header check every signature.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace db {

// The library (its soname), opened once; throws std::runtime_error when it cannot be loaded.
inline void* openLibrary(const char* soname)
{
    void* handle = ::dlopen(soname, RTLD_NOW | RTLD_GLOBAL);
    if (!handle)
        throw std::runtime_error(std::string("Не удалось загрузить библиотеку ") + soname + ": " + ::dlerror());
    return handle;
}

template <typename F>
F functionOf(void* library, const char* soname, const char* name)
{
    void* f = ::dlsym(library, name);
    if (!f)
        throw std::runtime_error(std::string("В библиотеке ") + soname + " нет функции " + name);
    return reinterpret_cast<F>(f);
}

} // namespace db

// Defines the library's function `name` as a forwarder to the library's own, found on the first call; Library is
// a function giving the library's handle, Soname its soname.
#define KESTA_FUNCTION_ON_DEMAND(Library, Soname, Result, name, parameters, arguments)                               \
    extern "C" Result name parameters                                                                                 \
    {                                                                                                                  \
        static const auto f = db::functionOf<Result(*) parameters>(Library(), Soname, #name);                         \
        return f arguments;                                                                                            \
    }
