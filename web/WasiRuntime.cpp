// What Debian's wasm32-wasi C++ runtime leaves out: exceptions.
//
// clang-14 compiles try, catch and throw for wasm32-wasi, but with no
// WebAssembly exception model the catch blocks are dropped: nothing is ever
// caught. The C++ ABI library is built without exceptions and has no
// __cxa_allocate_exception or __cxa_throw, so a throw would not even link.
// Here a throw ends the run as the native program's outermost handlers end
// it: "Orlo: <what()>" on standard error and exit status 1. (The page shows
// that line.) So where the native program recovers from an exception, this
// build stops: out of memory while reading ahead, say, ends the run at once
// instead of after the commands read before it.
//
// Running out of memory is reported the same way. This runtime's operator
// new returns null when memory runs out (and address 0 is writable memory
// in wasm); a new handler installed before anything else runs turns that
// into "Orlo: out of memory" and status 1.
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <typeinfo>

#include "Io.h"

namespace {

void say(const char* text) { orlo::writeAll(STDERR_FILENO, text); }

[[noreturn]] void stop(const char* what, const char* detail = nullptr) {
    say("Orlo: ");
    say(what);
    if (detail != nullptr) {
        say(": ");
        say(detail);
    }
    say("\n");
    std::_Exit(1);
}

void outOfMemory() { stop("out of memory"); }

__attribute__((constructor(101))) void installNewHandler() { std::set_new_handler(outOfMemory); }

/// Whether `type` is `wanted` or derives from it through single, public,
/// non-virtual bases (std::bad_alloc, std::length_error, orlo::OutputError).
/// The Itanium C++ ABI describes such a class with a __si_class_type_info:
/// a std::type_info followed by a pointer to its base's, the base at offset
/// 0. Classes with several or virtual bases are not followed.
bool derivesFrom(const std::type_info* type, const std::type_info& wanted) {
    const std::type_info& singleBase = typeid(typeid(std::runtime_error));
    while (type != nullptr) {
        if (*type == wanted) return true;
        if (typeid(*type) != singleBase) return false;
        std::memcpy(&type, reinterpret_cast<const char*>(type) + sizeof(std::type_info), sizeof type);
    }
    return false;
}

}  // namespace

extern "C" {

void* __cxa_allocate_exception(std::size_t size) noexcept {
    void* p = std::malloc(size);
    if (p == nullptr) outOfMemory();
    return p;
}

void __cxa_free_exception(void* p) noexcept { std::free(p); }

[[noreturn]] void __cxa_throw(void* object, std::type_info* type, void (*)(void*)) {
    if (derivesFrom(type, typeid(std::bad_alloc))) outOfMemory();
    if (derivesFrom(type, typeid(orlo::OutputError))) {
        stop("error writing standard output", static_cast<const orlo::OutputError*>(object)->what());
    }
    if (derivesFrom(type, typeid(std::exception))) stop(static_cast<const std::exception*>(object)->what());
    stop("stopped by an exception of type", type != nullptr ? type->name() : "?");
}

}  // extern "C"
