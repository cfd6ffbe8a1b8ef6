#pragma once

// TESSARO_ADDRESS_SANITIZER in builds checked by AddressSanitizer, with its interface for telling
// it which memory a pool holds: gcc announces the sanitizer with a macro, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TESSARO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARO_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TESSARO_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#endif
