/*
 * Forced into every C++ file of the browser build (cmake/emscripten.cmake).
 *
 * Debian's Emscripten 3.1.6 ships libc++ 13, which lacks std::bit_cast of
 * C++20; its clang has the builtin the library function is made of. Nothing
 * here when the library has it.
 */
#ifndef ORVEL_WEB_LIBCXX_COMPAT_H
#define ORVEL_WEB_LIBCXX_COMPAT_H

#ifdef __cplusplus
#include <version>
#ifndef __cpp_lib_bit_cast
#include <type_traits>
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept
{
    static_assert(sizeof(To) == sizeof(From), "bit_cast between types of one size");
    static_assert(is_trivially_copyable_v<To> && is_trivially_copyable_v<From>, "bit_cast of plain data");
    return __builtin_bit_cast(To, from);
}
} // namespace std
#endif
#endif

#endif
