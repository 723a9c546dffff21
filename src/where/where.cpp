#include "where/where.h"

#include "expand/fatal.h"
#include "sys/files.h"

#include <cstdio>
#include <cstring>

// Most bytes of one message line looked at together; a longer line passes
// on in parts, each rewritten on its own.
constexpr std::size_t message_line_size = 64 * 1024;
// Standard input, as the C runtime numbers it.
constexpr input_file standard_input = 0;

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
               int is_filter)
{
    map->out = out;
    map->is_filter = is_filter;
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
    if (failed->is_filter)
        pass_messages_on();
}

void
refuse_stale_map(const line_map *map, const char *input_name)
{
    if (map->out->differs)
        fatal("%s is not what textweld makes of %s now: flatten it again\n",
              map->out->file_name, input_name);
    if (map->is_full)
        fatal("%s has more directives than a map can hold\n",
              map->out->file_name);
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

// Answers how many decimal digits stand at text, at most n, storing their
// value; 0 when there are none or the value does not fit.
static std::size_t
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

static void
write_text(const char *text, std::size_t n)
{
    if (std::fwrite(text, 1, n, stdout) != n)
        fatal("error writing standard output\n");
}

static void
write_number(std::uint64_t number)
{
    char digits[24];
    int n = std::snprintf(digits, sizeof digits, "%llu",
                          static_cast<unsigned long long>(number));
    write_text(digits, static_cast<std::size_t>(n));
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
        write_text(segment->file_name, std::strlen(segment->file_name));
        write_text(":", 1);
        write_number(source_line_of(segment, line));
        write_text("\n", 1);
    }
    if (std::fflush(stdout) != 0)
        fatal("error writing standard output\n");
    return answered_all;
}

// How assemblers name a line of a file after the file's name: the text
// before the number and the text that must follow it.
struct reference_form {
    const char *before;
    const char *after;
};

static const reference_form forms_after_name[] = {
    {":line ", ":"}, // xa65: flat.a65:line 4: 1001:Syntax error
    {":", ""},       // nasm, z80asm: flat.asm:3: error; 64tass: flat:4:9:
    {"(", ")"},      // avra: flat.asm(3) : Error; ca65: flat.s(3): Error
    {" (", ")"},     // dasm: flat.asm (3): error
};
// pasmo: ERROR on line 3 of file flat.asm
static const reference_form form_before_name = {"line ", " of file "};

// A reference found in a message: where it ends, the output line it names,
// and its form; name_first tells whether the name comes before the number.
struct reference {
    std::size_t end;
    std::uint64_t line;
    const reference_form *form;
    int name_first;
};

// Answers whether a byte may stand in a file name, so that a name the
// message holds does not start or end beside it.
static int
is_name_byte(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') ||
           (c != '\0' && std::strchr("._-/\\~+", c) != nullptr);
}

static int
begins_with(const char *text, std::size_t n, const char *prefix,
            std::size_t length)
{
    return n >= length && std::memcmp(text, prefix, length) == 0;
}

// Answers whether text[at, n) begins with form's text, a number and its
// closing text, storing where they end and the number.
static int
match_number(const char *text, std::size_t n, std::size_t at,
             const reference_form *form, reference *found)
{
    std::size_t before = std::strlen(form->before);
    if (!begins_with(text + at, n - at, form->before, before))
        return 0;
    at += before;
    std::size_t digits = read_digits(text + at, n - at, &found->line);
    if (digits == 0)
        return 0;
    at += digits;
    std::size_t after = std::strlen(form->after);
    if (!begins_with(text + at, n - at, form->after, after))
        return 0;
    found->end = at + after;
    found->form = form;
    return 1;
}

// Answers whether a reference to a line of name starts at text[at].
static int
find_reference(const char *text, std::size_t n, std::size_t at,
               const char *name, reference *found)
{
    if (at != 0 && is_name_byte(text[at - 1]))
        return 0;
    std::size_t length = std::strlen(name);
    if (begins_with(text + at, n - at, name, length)) {
        found->name_first = 1;
        for (const reference_form &form : forms_after_name) {
            if (match_number(text, n, at + length, &form, found))
                return 1;
        }
        return 0;
    }
    found->name_first = 0;
    if (!match_number(text, n, at, &form_before_name, found) ||
        !begins_with(text + found->end, n - found->end, name, length))
        return 0;
    found->end += length;
    return found->end == n || !is_name_byte(text[found->end]);
}

// Writes the reference again, naming the source file and line.
static void
write_reference(const line_map *map, const reference *found)
{
    const map_segment *segment = find_segment(map, found->line);
    const char *file_name = segment->file_name;
    const reference_form *form = found->form;
    if (found->name_first)
        write_text(file_name, std::strlen(file_name));
    write_text(form->before, std::strlen(form->before));
    write_number(source_line_of(segment, found->line));
    write_text(form->after, std::strlen(form->after));
    if (!found->name_first)
        write_text(file_name, std::strlen(file_name));
}

// Writes the n bytes of a message line with each reference to a line of
// name that the output has rewritten.
static void
rewrite_line(const line_map *map, const char *name, const char *text,
             std::size_t n)
{
    std::uint64_t n_lines = count_output_lines(map->out);
    std::size_t copied = 0;
    for (std::size_t at = 0; at < n; ++at) {
        reference found;
        if (!find_reference(text, n, at, name, &found) || found.line == 0 ||
            found.line > n_lines)
            continue;
        write_text(text + copied, at - copied);
        write_reference(map, &found);
        copied = found.end;
        at = found.end - 1;
    }
    write_text(text + copied, n - copied);
}

// Writes the whole lines of buf[0, n); answers how many bytes are left, the
// start of a line still to come, moved to the front of buf. At the end of
// the input, or when one line fills buf, they are written too.
static std::size_t
rewrite_whole_lines(const line_map *map, const char *name, char *buf,
                    std::size_t n, int at_end)
{
    std::size_t start = 0;
    for (;;) {
        const void *line_feed = std::memchr(buf + start, '\n', n - start);
        if (line_feed == nullptr)
            break;
        std::size_t end = static_cast<std::size_t>(
                              static_cast<const char *>(line_feed) - buf) +
                          1;
        rewrite_line(map, name, buf + start, end - start);
        start = end;
    }
    if (at_end || (start == 0 && n == message_line_size)) {
        rewrite_line(map, name, buf + start, n - start);
        start = n;
    }
    std::memmove(buf, buf + start, n - start);
    return n - start;
}

void
filter_messages(const line_map *map, const char *output_name)
{
    char buf[message_line_size];
    std::size_t n = 0;
    for (;;) {
        std::size_t got =
            read_file_once(standard_input, buf + n, sizeof buf - n);
        if (got == read_failed)
            fatal("error reading standard input\n");
        n = rewrite_whole_lines(map, output_name, buf, n + got, got == 0);
        // Each line goes on as it arrives, so a long build shows its
        // messages as they come.
        if (std::fflush(stdout) != 0)
            fatal("error writing standard output\n");
        if (got == 0)
            return;
    }
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
