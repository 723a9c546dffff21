#ifndef TEXTWELD_EXPAND_FATAL_H
#define TEXTWELD_EXPAND_FATAL_H

#include "sys/files.h"

#include <cstdarg>

// Prints the message on standard output, or standard error where
// keep_messages_out_of says, and ends the run with status 1; or hands it
// to the handler that divert_failures set.
[[noreturn]] void fatal(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

// What a program does with a fatal message instead: given the context it
// was set with, the format and its arguments. Once it returns, the run ends
// with status 1; it may also end it itself, or throw.
using failure_handler = void (*)(void *context, const char *format,
                                 std::va_list args);

// Hands every later fatal message to handler with context; nullptr prints
// them on standard output again.
void divert_failures(failure_handler handler, void *context);

// Has later messages go to standard error when input, a file the run
// reads, is the file standard output writes, which they would change.
void keep_messages_out_of(const file_identity *input);

#endif
