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

// Under the address sanitizer, keeps every shared library loaded so far mapped until the
// process ends (elsewhere it does nothing). GL drivers unload when their display is closed,
// before the leak check at exit runs; what they kept would then be reported from a module
// that can no longer be named, so neither attributed nor matched by a suppression.
void keepLoadedLibrariesForLeakCheck();
