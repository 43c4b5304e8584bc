// What the tree needs of its element type T, and the few small steps every
// walk takes with values: comparing them, choosing a side without a branch,
// and fetching memory early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>

#include "Tuning.h"

// For the few lines every step of a walk runs: called from many places, GCC
// would otherwise keep them out of line, a call per level.
#if defined(__GNUC__)
#define ORLO_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define ORLO_ALWAYS_INLINE inline
#endif

// For the walks themselves: inlined into their callers, their loops lose
// registers to the callers' state.
#if defined(__GNUC__)
#define ORLO_NOINLINE __attribute__((noinline))
#else
#define ORLO_NOINLINE
#endif

// Built with -fno-exceptions, what would throw ends the process instead.
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS)
#define ORLO_HAS_EXCEPTIONS 1
#endif

namespace orlo::detail {

template <typename T>
using LessResult = decltype(std::declval<const T&>() < std::declval<const T&>());
template <typename T>
using GreaterResult = decltype(std::declval<const T&>() > std::declval<const T&>());
template <typename T>
using EqualResult = decltype(std::declval<const T&>() == std::declval<const T&>());
template <typename T>
using NotEqualResult = decltype(std::declval<const T&>() != std::declval<const T&>());

/// The type of `op` on two const T, or void when there is no such operator.
template <template <typename> class Op, typename T, typename = void>
struct Result {
    using type = void;
};
template <template <typename> class Op, typename T>
struct Result<Op, T, std::void_t<Op<T>>> {
    using type = Op<T>;
};
template <template <typename> class Op, typename T>
constexpr bool kHas = !std::is_void_v<typename Result<Op, T>::type>;
template <template <typename> class Op, typename T>
constexpr bool kGivesBool = std::is_convertible_v<typename Result<Op, T>::type, bool>;

/// What the tree needs of its element type, each with its own message.
template <typename T>
constexpr bool checkElementType() {
    static_assert(!std::is_reference_v<T> && !std::is_const_v<T>, "BSTSET: the element type must be a plain object type");
    static_assert(kHas<LessResult, T>, "BSTSET: the element type needs a < b on const operands");
    static_assert(kHas<GreaterResult, T>, "BSTSET: the element type needs a > b on const operands");
    static_assert(kHas<EqualResult, T>, "BSTSET: the element type needs a == b on const operands");
    static_assert(kHas<NotEqualResult, T>, "BSTSET: the element type needs a != b on const operands");
    static_assert(!kHas<LessResult, T> || kGivesBool<LessResult, T>,
                  "BSTSET: a < b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<GreaterResult, T> || kGivesBool<GreaterResult, T>,
                  "BSTSET: a > b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<EqualResult, T> || kGivesBool<EqualResult, T>,
                  "BSTSET: a == b on the element type must give a result implicitly convertible to bool");
    static_assert(!kHas<NotEqualResult, T> || kGivesBool<NotEqualResult, T>,
                  "BSTSET: a != b on the element type must give a result implicitly convertible to bool");
    static_assert(std::is_copy_constructible_v<T>, "BSTSET: the element type must be copy constructible");
    static_assert(std::is_nothrow_destructible_v<T>, "BSTSET: the element type's destructor must not throw");
    return true;
}

/// Comparisons of T that cannot throw.
template <typename T>
constexpr bool kNothrowCompare = noexcept(std::declval<const T&>() < std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() > std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() == std::declval<const T&>()) &&
                                 noexcept(std::declval<const T&>() != std::declval<const T&>());

/// a < b and a > b, as T's operators answer them. For std::string they are
/// byte-wise comparisons as unsigned char; done here, inline, they are
/// several times faster than the library's call to memcmp for the short
/// strings a walk compares level after level.
template <typename T>
bool less(const T& a, const T& b) {
    return a < b;
}
template <typename T>
bool greater(const T& a, const T& b) {
    return a > b;
}
inline bool less(const std::string& a, const std::string& b) noexcept {
    if constexpr (!tuning::kInlineStringCompare) return a < b;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const auto* q = reinterpret_cast<const unsigned char*>(b.data());
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != q[i]) return p[i] < q[i];
    }
    return a.size() < b.size();
}
inline bool greater(const std::string& a, const std::string& b) noexcept { return less(b, a); }

/// Starts fetching the cache line at p; only a hint, which never reads p
/// and never faults, whatever p holds.
inline void prefetch(const void* p) noexcept {
#if defined(__GNUC__)
    if constexpr (tuning::kPrefetch) __builtin_prefetch(p);
#endif
    (void)p;
}

/// a when c holds, else b, without a branch. Where c is a coin toss (the
/// direction of a walk through a random tree) a branch is mispredicted every
/// other level; GCC will not turn these choices into conditional moves, so
/// the choice is made with a mask.
template <typename P>
P pick(bool c, P a, P b) noexcept {
    static_assert(std::is_pointer_v<P>);
    if constexpr (!tuning::kBranchFreeSteps) return c ? a : b;
    const std::uintptr_t mask = std::uintptr_t{0} - static_cast<std::uintptr_t>(c);
    return reinterpret_cast<P>((reinterpret_cast<std::uintptr_t>(a) & mask) | (reinterpret_cast<std::uintptr_t>(b) & ~mask));
}

/// Throws `E(what)`; built without exceptions, writes what to standard
/// error and aborts.
template <typename E>
[[noreturn]] void fail(const char* what) {
#if defined(ORLO_HAS_EXCEPTIONS)
    throw E(what);
#else
    std::fputs(what, stderr);
    std::fputc('\n', stderr);
    std::abort();
#endif
}

}  // namespace orlo::detail
