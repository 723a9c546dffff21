#ifndef TEXTWELD_FUZZ_FATAL_ERROR_H
#define TEXTWELD_FUZZ_FATAL_ERROR_H

#include "expand/fatal.h"

#include <cstdarg>

// What fatal throws in the fuzz targets that must keep running: the
// message is dropped and the call unwinds to the target, which judges
// whether it was due.
struct fatal_error {
    const char *format;
};

inline void
throw_fatal_error(void *, const char *format, std::va_list)
{
    throw fatal_error{format};
}

#endif
