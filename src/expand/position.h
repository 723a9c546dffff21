#ifndef TEXTWELD_EXPAND_POSITION_H
#define TEXTWELD_EXPAND_POSITION_H

#include "expand/expand.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Where a run stands, for a companion program's messages: the directives
// being acted on, outermost first, as the run's events tell them.
struct run_position {
    const char *program_name;
    const char *file_name[max_open_inputs];
    std::uint64_t line[max_open_inputs];
    std::size_t depth;
};

// Readies a position outside any directive, for the program so named.
void start_run_position(run_position *at, const char *program_name);

// Follows a directive as the run begins and ends acting on it.
void follow_run(run_position *at, const run_event *event);

// Writes the message on standard error after where the run stands: the file
// and line of the innermost directive being acted on, whose file or line
// the message is about, or the program's name outside any directive.
void write_failure(void *position, const char *format, std::va_list args)
    __attribute__((format(printf, 2, 0)));

#endif
