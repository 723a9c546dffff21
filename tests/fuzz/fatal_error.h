#ifndef TEXTWELD_FUZZ_FATAL_ERROR_H
#define TEXTWELD_FUZZ_FATAL_ERROR_H

// What fatal throws in the fuzz targets that must keep running.
struct fatal_error {
    const char *format;
};

#endif
