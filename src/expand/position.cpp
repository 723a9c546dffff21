#include "expand/position.h"

#include <cstdio>

void
start_run_position(run_position *at, const char *program_name)
{
    at->program_name = program_name;
    at->depth = 0;
}

void
follow_run(run_position *at, const run_event *event)
{
    if (event->kind == run_event_kind::directive_begins &&
        at->depth < max_open_inputs) {
        at->file_name[at->depth] = event->file_name;
        at->line[at->depth] = event->line;
        ++at->depth;
    } else if (event->kind == run_event_kind::directive_ends && at->depth > 0) {
        --at->depth;
    }
}

void
write_failure(void *position, const char *format, std::va_list args)
{
    const run_position *at = static_cast<const run_position *>(position);
    if (at->depth == 0)
        (void)std::fprintf(stderr, "%s: ", at->program_name);
    else
        (void)std::fprintf(
            stderr, "%s:%llu: ", at->file_name[at->depth - 1],
            static_cast<unsigned long long>(at->line[at->depth - 1]));
    (void)std::vfprintf(stderr, format, args);
}
