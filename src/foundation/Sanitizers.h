#pragma once

// Whether this build runs under the address sanitizer (g++ says so with a macro, clang with a
// feature test). Its runtime reserves terabytes of address space for its shadow memory, so an
// address-space limit (RLIMIT_AS) stops such a program at its start; the sanitizer bounds
// allocations itself.
#if defined(__SANITIZE_ADDRESS__)
#define FLEXHERD_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FLEXHERD_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef FLEXHERD_ADDRESS_SANITIZER
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
