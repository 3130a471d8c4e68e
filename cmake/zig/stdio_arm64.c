/* The C runtime's formatting entry points for the ARM64 build, served by
 * MinGW's own formatter.
 *
 * The UCRT's printf family lives in __stdio_common_v*: the headers' inline
 * printf functions and LLVM's libc++ (every number put on a stream) call
 * them with a va_list. Wine's arm64 ucrtbase is a Linux library whose
 * va_list is not Windows' pointer, so there any such call with arguments
 * crashes. Defined here, these take the calls before the import library
 * would, and the executables format alike on Windows and under Wine. */
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#define STANDARD_SNPRINTF_BEHAVIOR 0x0002ULL

/* With STANDARD_SNPRINTF_BEHAVIOR the C99 result; without it, as _vsnprintf:
 * -1 when the text did not fit. */
static int truncation_result(unsigned long long options, int written, size_t count) {
  if (written < 0 || (options & STANDARD_SNPRINTF_BEHAVIOR) || (size_t)written < count)
    return written;
  return -1;
}

int __cdecl __stdio_common_vsprintf(unsigned long long options, char* buffer, size_t count,
                                    const char* format, _locale_t locale, va_list args) {
  (void)locale;
  return truncation_result(options, __mingw_vsnprintf(buffer, count, format, args), count);
}

int __cdecl __stdio_common_vswprintf(unsigned long long options, wchar_t* buffer, size_t count,
                                     const wchar_t* format, _locale_t locale, va_list args) {
  (void)locale;
  return truncation_result(options, __mingw_vsnwprintf(buffer, count, format, args), count);
}

int __cdecl __stdio_common_vfprintf(unsigned long long options, FILE* file, const char* format,
                                    _locale_t locale, va_list args) {
  (void)options;
  (void)locale;
  return __mingw_vfprintf(file, format, args);
}

int __cdecl __stdio_common_vfwprintf(unsigned long long options, FILE* file,
                                     const wchar_t* format, _locale_t locale, va_list args) {
  (void)options;
  (void)locale;
  return __mingw_vfwprintf(file, format, args);
}

int __cdecl __stdio_common_vsscanf(unsigned long long options, const char* input, size_t length,
                                   const char* format, _locale_t locale, va_list args) {
  (void)options;
  (void)length;
  (void)locale;
  return __mingw_vsscanf(input, format, args);
}
