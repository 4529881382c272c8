// WUX_UNDER_ASAN is defined when the tests are built with AddressSanitizer, which reserves
// more address space than any RLIMIT_AS a test could set.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define WUX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WUX_UNDER_ASAN 1
#endif
#endif
