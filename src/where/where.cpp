#include "where/where.h"

#include "expand/fatal.h"
#include "sys/files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void
add_segment(line_map *map, const char *file_name, std::uint64_t source_line,
            int is_note)
{
    std::uint64_t first_line = next_output_line(map->out);
    std::size_t n = map->n_segments;
    // A stretch no line of which was written gives way to the next.
    if (n != 0 && map->segments[n - 1].first_line == first_line)
        --n;
    if (n == max_map_segments) {
        map->is_full = 1;
        return;
    }
    map->segments[n] = {first_line, source_line, file_name, is_note};
    map->n_segments = n + 1;
}

void
start_line_map(line_map *map, const char *input_name, const text_output *out,
               map_failure_step on_failure, char *const *command)
{
    map->out = out;
    map->on_failure = on_failure;
    map->command = command;
    map->is_full = 0;
    map->n_segments = 0;
    add_segment(map, input_name, 1, 0);
}

void
watch_for_map(void *map, const run_event *event)
{
    line_map *seen = static_cast<line_map *>(map);
    follow_run(&seen->at, event);
    switch (event->kind) {
    case run_event_kind::directive_begins:
        return;
    case run_event_kind::file_taken_in:
        add_segment(seen, event->name, 1, 0);
        return;
    case run_event_kind::repeat_noted:
        add_segment(seen, event->file_name, event->line, 1);
        return;
    case run_event_kind::directive_ends:
        add_segment(seen, event->file_name, event->line + 1, 0);
        return;
    }
}

void
report_map_failure(void *map, const char *format, std::va_list args)
{
    line_map *failed = static_cast<line_map *>(map);
    write_failure(&failed->at, format, args);
    switch (failed->on_failure) {
    case map_failure_step::none:
        return;
    case map_failure_step::pass_input_on:
        pass_messages_on();
        return;
    case map_failure_step::run_command: {
        // The command's own failure is the one a build must see.
        (void)std::fflush(stderr);
        int status = run_command_unchanged(failed->command);
        std::exit(status != 0 ? status : 1);
    }
    }
}

void
refuse_stale_map(line_map *map, const char *input_name)
{
    if (map->out->differs)
        fatal("%s is not what textweld makes of %s now: flatten it again\n",
              map->out->file_name, input_name);
    if (map->is_full)
        fatal("%s has more directives than a map can hold\n",
              map->out->file_name);
    map->on_failure = map_failure_step::none;
}

std::uint64_t
count_output_lines(const text_output *out)
{
    return next_output_line(out) - 1;
}

const map_segment *
find_segment(const line_map *map, std::uint64_t line)
{
    // The last segment that starts at or before the line.
    std::size_t low = 0;
    std::size_t high = map->n_segments;
    while (high - low > 1) {
        std::size_t middle = low + (high - low) / 2;
        if (map->segments[middle].first_line <= line)
            low = middle;
        else
            high = middle;
    }
    return &map->segments[low];
}

std::uint64_t
source_line_of(const map_segment *segment, std::uint64_t line)
{
    return segment->is_note ? segment->source_line
                            : segment->source_line + line - segment->first_line;
}

std::size_t
read_digits(const char *text, std::size_t n, std::uint64_t *value)
{
    std::uint64_t number = 0;
    std::size_t i = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (number > (UINT64_MAX - digit) / 10)
            return 0;
        number = number * 10 + digit;
    }
    *value = number;
    return i;
}

int
read_line_number(const char *text, std::uint64_t *number)
{
    std::size_t n = std::strlen(text);
    return n != 0 && read_digits(text, n, number) == n && *number != 0;
}

int
answer_queries(const line_map *map, char *const *texts, std::size_t n)
{
    std::uint64_t n_lines = count_output_lines(map->out);
    int answered_all = 1;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t line;
        if (!read_line_number(texts[i], &line) || line > n_lines) {
            (void)std::fprintf(
                stderr, "textweld-where: %s has %llu lines, not %s\n",
                map->out->file_name, static_cast<unsigned long long>(n_lines),
                texts[i]);
            answered_all = 0;
            continue;
        }
        const map_segment *segment = find_segment(map, line);
        write_standard_stream(stdout, segment->file_name,
                              std::strlen(segment->file_name));
        write_standard_stream(stdout, ":", 1);
        write_standard_number(stdout, source_line_of(segment, line), 0);
        write_standard_stream(stdout, "\n", 1);
    }
    flush_standard_stream(stdout);
    return answered_all;
}
