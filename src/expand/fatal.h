#ifndef TEXTWELD_EXPAND_FATAL_H
#define TEXTWELD_EXPAND_FATAL_H

// Prints the message on standard output and ends the run with status 1.
[[noreturn]] void fatal(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

#endif
