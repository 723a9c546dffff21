#include "where/where.h"

#include "expand/fatal.h"
#include "sys/files.h"
#include "sys/process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Standard input, as the C runtime numbers it.
constexpr input_file standard_input = 0;

// What a stream of messages is rewritten against: the map and the name
// of the output its references name.
struct message_rewrite {
    const line_map *map;
    const char *output_name;
};

// A stream of messages being rewritten: where its bytes come from and go,
// and, in buf[0, n), the start of a line still to come.
struct message_stream {
    input_file from;
    std::FILE *to;
    std::size_t n;
    char buf[message_line_size];
};

// Rewrites the whole lines the stream's buffer holds, after got new bytes;
// at its end, or when one line fills the buffer, the rest too. Keeps the
// start of a line still to come at the front of the buffer.
static void
rewrite_whole_lines(const message_rewrite *rewrite, message_stream *stream,
                    std::size_t got)
{
    char *buf = stream->buf;
    std::size_t n = stream->n + got;
    std::size_t start = 0;
    for (;;) {
        const void *line_feed = std::memchr(buf + start, '\n', n - start);
        if (line_feed == nullptr)
            break;
        std::size_t end = static_cast<std::size_t>(
                              static_cast<const char *>(line_feed) - buf) +
                          1;
        rewrite_line(rewrite->map, rewrite->output_name, stream->to,
                     buf + start, end - start);
        start = end;
    }
    if (got == 0 || (start == 0 && n == message_line_size)) {
        rewrite_line(rewrite->map, rewrite->output_name, stream->to,
                     buf + start, n - start);
        start = n;
    }
    std::memmove(buf, buf + start, n - start);
    stream->n = n - start;
    // Each line goes on as it arrives, so a long build shows its messages
    // as they come.
    flush_standard_stream(stream->to);
}

// Answers whether the stream's next read gave bytes, rewriting the lines
// they end; ends the run if reading fails.
static int
take_messages(const message_rewrite *rewrite, message_stream *stream,
              const char *what)
{
    std::size_t got = read_file_once(stream->from, stream->buf + stream->n,
                                     message_line_size - stream->n);
    if (got == read_failed)
        fatal("error reading %s\n", what);
    rewrite_whole_lines(rewrite, stream, got);
    return got != 0;
}

void
filter_messages(const line_map *map, const char *output_name)
{
    const message_rewrite rewrite = {map, output_name};
    static message_stream input = {standard_input, stdout, 0, {}};
    while (take_messages(&rewrite, &input, "standard input"))
        continue;
}

void
pass_messages_on()
{
    char buf[message_line_size];
    for (;;) {
        std::size_t got = read_file_once(standard_input, buf, sizeof buf);
        if (got == 0 || got == read_failed ||
            std::fwrite(buf, 1, got, stdout) != got || std::fflush(stdout) != 0)
            return;
    }
}

[[noreturn]] static void
fail_starting(char *const *command)
{
    (void)std::fprintf(stderr, "textweld-where: error running command %s\n",
                       command[0]);
    std::exit(command_not_started);
}

int
wrap_command(const line_map *map, const char *output_name, char *const *command)
{
    const message_rewrite rewrite = {map, output_name};
    command_run run;
    if (!start_command(command, 1, &run))
        fail_starting(command);
    static message_stream streams[2];
    streams[0] = {run.output, stdout, 0, {}};
    streams[1] = {run.errors, stderr, 0, {}};
    input_file open[2] = {run.output, run.errors};
    const char *what[2] = {"the command's standard output",
                           "the command's standard error"};
    for (std::size_t n_open = 2; n_open > 0;) {
        std::size_t i = wait_for_input(open, 2);
        if (!take_messages(&rewrite, &streams[i], what[i])) {
            (void)close_file(open[i]);
            open[i] = no_input_file;
            --n_open;
        }
    }
    return wait_for_command(&run);
}

int
run_command_unchanged(char *const *command)
{
    command_run run;
    if (!start_command(command, 0, &run))
        fail_starting(command);
    return wait_for_command(&run);
}
