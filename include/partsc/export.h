// What the shared library libpartsc.so.1 exports: the declarations marked
// PARTSC_API, and nothing else (it is built with -fvisibility=hidden).
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define PARTSC_API __attribute__((visibility("default")))
#else
#define PARTSC_API
#endif
