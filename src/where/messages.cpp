#include "where/where.h"

#include "expand/fatal.h"
#include "sys/files.h"
#include "sys/process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Standard input, as the C runtime numbers it.
constexpr input_file standard_input = 0;
// The escape byte that starts a colour or style sequence.
constexpr char escape = '\x1b';

// How a reference that starts with the output's name goes on: the text
// between the name and the number, and the text that must follow the
// number; anything after that, such as a column, stays as it is.
struct name_first_shape {
    const char *before;
    const char *after;
};

static const name_first_shape name_first_shapes[] = {
    {":line ", ""},  // xa65: flat.a65:line 4: 1001:Syntax error
    {": ", ":"},     // avra in a macro: [Macro: flat.asm: 4:]
    {":", ""},       // nasm, yasm, gpasm, GNU as: flat.asm:3:; 64tass: :4:9:
    {"(", ")"},      // avra: flat.asm(3) : Error; ca65: flat.s(3): Error
    {" (", ")"},     // dasm: flat.asm (3): error
    {" [", "]"},     // fasm: flat.asm [3]:
    {", line ", ""}, // acme: Error - File flat.s, line 3 (Zone ...)
    {" line ", ""},  // flat.asm line 0003: ...
};

// What stands between the number and the name in a reference that starts
// with "line N": pasmo's ERROR on line 3 of file flat.asm, and the like.
static const char *const number_first_links[] = {" of file ", " of ",
                                                 " in file ", " in "};
static const char number_first_keyword[] = "line ";

void
start_name_pattern(name_pattern *pattern, const char *name)
{
    pattern->name = name;
    pattern->length = std::strlen(name);
    if (pattern->length == 0 || pattern->length > message_line_size)
        return;
    pattern->border[0] = 0;
    std::size_t k = 0;
    for (std::size_t i = 1; i < pattern->length; ++i) {
        while (k > 0 && name[i] != name[k])
            k = pattern->border[k - 1];
        if (name[i] == name[k])
            ++k;
        pattern->border[i] = static_cast<std::uint32_t>(k);
    }
}

// Sets the bit of each place where the pattern's name starts in the text,
// all found in one pass over it.
static void
mark_name_starts(reference_scan *scan)
{
    const name_pattern *pattern = scan->pattern;
    // Only the words the line covers: a short line costs little.
    std::memset(scan->name_starts, 0,
                (scan->n / 64 + 1) * sizeof scan->name_starts[0]);
    if (pattern->length == 0 || pattern->length > message_line_size)
        return;
    std::size_t k = 0;
    for (std::size_t i = 0; i < scan->n; ++i) {
        // Between matches, straight on to the name's first byte.
        if (k == 0) {
            const void *first =
                std::memchr(scan->text + i, pattern->name[0], scan->n - i);
            if (first == nullptr)
                return;
            i = static_cast<std::size_t>(static_cast<const char *>(first) -
                                         scan->text);
        }
        while (k > 0 && scan->text[i] != pattern->name[k])
            k = pattern->border[k - 1];
        if (scan->text[i] == pattern->name[k])
            ++k;
        if (k == pattern->length) {
            std::size_t start = i + 1 - k;
            scan->name_starts[start / 64] |= std::uint64_t{1} << (start % 64);
            k = pattern->border[k - 1];
        }
    }
}

void
start_reference_scan(reference_scan *scan, const name_pattern *pattern,
                     std::uint64_t n_lines, const char *text, std::size_t n)
{
    scan->pattern = pattern;
    scan->n_lines = n_lines;
    scan->text = text;
    scan->n = n < message_line_size ? n : message_line_size;
    scan->at = 0;
    scan->boundary = 1;
    mark_name_starts(scan);
}

// Which bytes may stand in a file name, so that a name the message holds
// does not start or end beside them: letters, digits, "._-/\\~+" and the
// bytes of UTF-8 sequences.
struct name_byte_table {
    unsigned char is_name_byte[256];
};

static constexpr name_byte_table
make_name_byte_table()
{
    name_byte_table table = {};
    for (int c = 0; c < 256; ++c) {
        table.is_name_byte[c] =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
            (c >= 'A' && c <= 'Z') || c >= 0x80 || c == '.' || c == '_' ||
            c == '-' || c == '/' || c == '\\' || c == '~' || c == '+';
    }
    return table;
}

static constexpr name_byte_table name_bytes = make_name_byte_table();

static int
is_name_byte(char c)
{
    return name_bytes.is_name_byte[static_cast<unsigned char>(c)];
}

// Answers the length of the colour or style sequence at text[at], such as
// ESC [ 1 ; 3 1 m: parameters, then intermediate bytes, then a final one;
// 0 where none stands.
static std::size_t
escape_length(const char *text, std::size_t n, std::size_t at)
{
    if (text[at] != escape || at + 2 >= n || text[at + 1] != '[')
        return 0;
    std::size_t i = at + 2;
    while (i < n && text[i] >= 0x30 && text[i] <= 0x3f)
        ++i;
    while (i < n && text[i] >= 0x20 && text[i] <= 0x2f)
        ++i;
    return i < n && text[i] >= 0x40 && text[i] <= 0x7e ? i + 1 - at : 0;
}

static std::size_t
skip_escapes(const reference_scan *scan, std::size_t at)
{
    std::size_t length;
    while (at < scan->n &&
           (length = escape_length(scan->text, scan->n, at)) != 0)
        at += length;
    return at;
}

static int
begins_with(const reference_scan *scan, std::size_t at, const char *prefix)
{
    std::size_t length = std::strlen(prefix);
    return scan->n - at >= length &&
           std::memcmp(scan->text + at, prefix, length) == 0;
}

static int
is_name_start(const reference_scan *scan, std::size_t at)
{
    return at < scan->n && (scan->name_starts[at / 64] >> (at % 64) & 1) != 0;
}

// Answers whether the name, bare or quoted, stands at text[at], storing in
// found where it stands and in *end where it ends, its quote included.
static int
match_name(const reference_scan *scan, std::size_t at, reference *found,
           std::size_t *end)
{
    char quote =
        at < scan->n && (scan->text[at] == '"' || scan->text[at] == '\'')
            ? scan->text[at]
            : '\0';
    std::size_t name_at = at + (quote != '\0');
    if (!is_name_start(scan, name_at))
        return 0;
    std::size_t name_end = name_at + scan->pattern->length;
    if (quote != '\0' && (name_end >= scan->n || scan->text[name_end] != quote))
        return 0;
    found->name_at = name_at;
    found->name_end = name_end;
    *end = name_end + (quote != '\0');
    return 1;
}

// Answers whether a line number the output has stands at text[at],
// storing where its digits stand in found.
static int
match_number(const reference_scan *scan, std::size_t at, reference *found)
{
    std::size_t digits =
        read_digits(scan->text + at, scan->n - at, &found->line);
    if (digits == 0 || found->line == 0 || found->line > scan->n_lines)
        return 0;
    found->number_at = at;
    found->number_end = at + digits;
    return 1;
}

// Answers whether a reference that starts with the name stands at
// text[at], storing it and in *end where it ends.
static int
match_name_first(const reference_scan *scan, std::size_t at, reference *found,
                 std::size_t *end)
{
    std::size_t name_end;
    if (!match_name(scan, at, found, &name_end))
        return 0;
    std::size_t shape_at = skip_escapes(scan, name_end);
    for (const name_first_shape &shape : name_first_shapes) {
        if (!begins_with(scan, shape_at, shape.before) ||
            !match_number(scan, shape_at + std::strlen(shape.before), found) ||
            !begins_with(scan, found->number_end, shape.after))
            continue;
        *end = found->number_end;
        return 1;
    }
    return 0;
}

// Answers whether a name that stands before text[at] ends there: no byte of
// a name follows, or a full stop that ends a sentence.
static int
ends_name(const reference_scan *scan, std::size_t at)
{
    if (at < scan->n && scan->text[at] == '.')
        ++at;
    return at == scan->n || !is_name_byte(scan->text[at]);
}

// Answers whether a reference of the shape "line N of NAME" stands at
// text[at], storing it and in *end where it ends.
static int
match_number_first(const reference_scan *scan, std::size_t at, reference *found,
                   std::size_t *end)
{
    if (!begins_with(scan, at, number_first_keyword) ||
        !match_number(scan, at + std::strlen(number_first_keyword), found))
        return 0;
    for (const char *link : number_first_links) {
        if (begins_with(scan, found->number_end, link) &&
            match_name(scan, found->number_end + std::strlen(link), found,
                       end) &&
            ends_name(scan, *end))
            return 1;
    }
    return 0;
}

// Answers whether a reference might start at text[at]: the name, a quote
// before it, or the first letter of "line".
static int
may_start_reference(const reference_scan *scan, std::size_t at)
{
    char c = scan->text[at];
    return c == number_first_keyword[0] || is_name_start(scan, at) ||
           ((c == '"' || c == '\'') && is_name_start(scan, at + 1));
}

int
next_reference(reference_scan *scan, reference *found)
{
    while (scan->at < scan->n) {
        std::size_t at = scan->at;
        std::size_t length = escape_length(scan->text, scan->n, at);
        if (length != 0) {
            // A sequence that ends in a letter never joins a name.
            scan->at += length;
            scan->boundary = 1;
            continue;
        }
        std::size_t end;
        if (scan->boundary && may_start_reference(scan, at) &&
            (match_name_first(scan, at, found, &end) ||
             match_number_first(scan, at, found, &end))) {
            scan->at = end;
            scan->boundary = !is_name_byte(scan->text[end - 1]);
            return 1;
        }
        scan->boundary = !is_name_byte(scan->text[at]);
        ++scan->at;
    }
    return 0;
}

// What rewrites message lines: the map, the output's name as a pattern,
// and the number of lines the output has.
struct message_rewrite {
    const line_map *map;
    const name_pattern *pattern;
    std::uint64_t n_lines;
};

// A stream of messages being rewritten: where its bytes come from and go,
// and, in buf[0, n), the start of a line still to come.
struct message_stream {
    input_file from;
    std::FILE *to;
    std::size_t n;
    char buf[message_line_size];
};

static void
write_span(std::FILE *to, const char *text, std::size_t from, std::size_t to_at)
{
    write_standard_stream(to, text + from, to_at - from);
}

// Writes the reference's name and number anew, naming the source file and
// line, with the text between them as it was; answers where it ends.
static std::size_t
write_reference(const message_rewrite *rewrite, std::FILE *to, const char *text,
                const reference *found)
{
    const map_segment *segment = find_segment(rewrite->map, found->line);
    std::size_t width = found->number_end - found->number_at;
    // Zeros before the number keep its width.
    if (text[found->number_at] != '0')
        width = 0;
    std::uint64_t line = source_line_of(segment, found->line);
    const char *name = segment->file_name;
    if (found->name_at < found->number_at) {
        write_standard_stream(to, name, std::strlen(name));
        write_span(to, text, found->name_end, found->number_at);
        write_standard_number(to, line, width);
        return found->number_end;
    }
    write_standard_number(to, line, width);
    write_span(to, text, found->number_end, found->name_at);
    write_standard_stream(to, name, std::strlen(name));
    return found->name_end;
}

// Writes the n bytes of a message line with each reference to a line of
// the output rewritten.
static void
rewrite_line(const message_rewrite *rewrite, std::FILE *to, const char *text,
             std::size_t n)
{
    // Static: the scan is too large to put on the stack for each line.
    static reference_scan scan;
    start_reference_scan(&scan, rewrite->pattern, rewrite->n_lines, text, n);
    std::size_t copied = 0;
    reference found;
    while (next_reference(&scan, &found)) {
        std::size_t first =
            found.name_at < found.number_at ? found.name_at : found.number_at;
        // A quote before the name stays, as does all before the reference.
        write_span(to, text, copied, first);
        copied = write_reference(rewrite, to, text, &found);
    }
    write_span(to, text, copied, n);
}

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
        rewrite_line(rewrite, stream->to, buf + start, end - start);
        start = end;
    }
    if (got == 0 || (start == 0 && n == message_line_size)) {
        rewrite_line(rewrite, stream->to, buf + start, n - start);
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

static void
start_message_rewrite(message_rewrite *rewrite, const line_map *map,
                      const char *output_name)
{
    // Static: it holds a table as long as a message line.
    static name_pattern pattern;
    start_name_pattern(&pattern, output_name);
    rewrite->map = map;
    rewrite->pattern = &pattern;
    rewrite->n_lines = count_output_lines(map->out);
}

void
filter_messages(const line_map *map, const char *output_name)
{
    message_rewrite rewrite;
    start_message_rewrite(&rewrite, map, output_name);
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
    message_rewrite rewrite;
    start_message_rewrite(&rewrite, map, output_name);
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
            close_input_file(open[i]);
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
