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

// The library's function `name`; the library (by its soname) is opened on the first call for any of its functions,
// later ones find it open. Throws std::runtime_error when the library cannot be loaded or lacks the function.
template <typename F>
F functionOf(const char* soname, const char* name)
{
    void* library = ::dlopen(soname, RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        throw std::runtime_error(std::string("Не удалось загрузить библиотеку ") + soname + ": " + ::dlerror());
    void* f = ::dlsym(library, name);
    if (!f)
        throw std::runtime_error(std::string("В библиотеке ") + soname + " нет функции " + name);
    return reinterpret_cast<F>(f);
}

} // namespace db

// Defines the library's function `name` as a forwarder to the library's own, found on its first call; Soname names
// the library.
#define KESTA_FUNCTION_ON_DEMAND(Soname, Result, name, parameters, arguments)                                         \
    extern "C" Result name parameters                                                                                 \
    {                                                                                                                  \
        static const auto f = db::functionOf<Result(*) parameters>(Soname, #name);                                    \
        return f arguments;                                                                                            \
    }
