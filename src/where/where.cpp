#include "where/where.h"

#include "expand/fatal.h"

#include <cstring>

static void
add_segment(line_map *map, const char *file_name, std::uint64_t source_line,
            int is_note)
{
    std::uint64_t first_line = next_output_line(map->compared);
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
start_line_map(line_map *map, const char *input_name,
               output_comparison *compared)
{
    map->compared = compared;
    map->input_name = input_name;
    map->is_full = 0;
    map->is_identified = 0;
    map->n_expansions = 0;
    map->n_segments = 0;
    add_segment(map, input_name, 1, 0);
}

// Notes where the expansion of a file taken in begins, and, once it has
// ended, where it ends: the last one begun and not ended is the innermost.
static void
note_expansion(line_map *map, const run_event *event)
{
    std::uint64_t line = next_output_line(map->compared);
    if (event->kind == run_event_kind::file_taken_in &&
        map->n_expansions < max_include_files) {
        map->expansions[map->n_expansions++] = {event->file_name, event->line,
                                                event->name, line, 0};
        return;
    }
    for (std::size_t i = map->n_expansions; i-- > 0;) {
        map_expansion *expansion = &map->expansions[i];
        if (expansion->end_line == 0 && expansion->line == event->line &&
            expansion->file_name == event->file_name) {
            expansion->end_line = line;
            return;
        }
    }
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
        note_expansion(seen, event);
        add_segment(seen, event->name, 1, 0);
        return;
    case run_event_kind::repeat_noted:
        add_segment(seen, event->file_name, event->line, 1);
        return;
    case run_event_kind::directive_ends:
        note_expansion(seen, event);
        add_segment(seen, event->file_name, event->line + 1, 0);
        return;
    }
}

void
refuse_stale_map(line_map *map)
{
    output_comparison *compared = map->compared;
    end_comparison(compared);
    if (compared->differs)
        fatal("%s is not what textweld makes of %s now: flatten it again\n",
              compared->file_name, map->input_name);
    if (map->is_full)
        fatal("%s has more directives than a map can hold\n",
              compared->file_name);
}

std::uint64_t
count_output_lines(const line_map *map)
{
    return next_output_line(map->compared) - 1;
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
        number = number > (UINT64_MAX - digit) / 10 ? UINT64_MAX
                                                    : number * 10 + digit;
    }
    *value = number;
    return i;
}

static void
write_place(const char *file_name, std::uint64_t line)
{
    write_standard_stream(stdout, file_name, std::strlen(file_name));
    write_standard_stream(stdout, ":", 1);
    write_standard_number(stdout, line, 0);
    write_standard_stream(stdout, "\n", 1);
}

// Answers the question of an output line, text, whose number is line.
static int
answer_output_line(const line_map *map, const char *text, std::uint64_t line)
{
    std::uint64_t n_lines = count_output_lines(map);
    if (line == 0 || line > n_lines) {
        (void)std::fprintf(stderr,
                           "textweld-where: %s has %llu lines, not %s\n",
                           map->compared->file_name,
                           static_cast<unsigned long long>(n_lines), text);
        return 0;
    }
    const map_segment *segment = find_segment(map, line);
    write_place(segment->file_name, source_line_of(segment, line));
    return 1;
}

// The way back from a line of a source file: the names the run read it
// under, the line, how many lines the file has as far as the map shows,
// and the last output line printed, 0 before any.
struct way_back {
    const char *names[max_include_files + 1];
    std::size_t n_names;
    std::uint64_t line;
    std::uint64_t n_lines;
    std::uint64_t last_answer;
};

// Answers the name of the input, for i 0, or of the file the run took in
// at its expansion i - 1.
static const char *
source_name(const line_map *map, std::size_t i)
{
    return i == 0 ? map->input_name : map->expansions[i - 1].name;
}

// Answers whether the run read the named file, under that name or any
// other that reaches the same regular file, storing each such name; the
// files' identities are asked once.
static int
find_source(line_map *map, const char *file_name, way_back *back)
{
    for (std::size_t i = 0; !map->is_identified && i <= map->n_expansions;
         ++i) {
        const char *name = source_name(map, i);
        if (!identify_file_name(name, &map->identities[i]))
            map->identities[i] = {};
    }
    map->is_identified = 1;
    file_identity asked;
    int is_identified = identify_file_name(file_name, &asked);
    back->n_names = 0;
    for (std::size_t i = 0; i <= map->n_expansions; ++i) {
        const char *name = source_name(map, i);
        if (std::strcmp(name, file_name) == 0 ||
            (is_identified &&
             is_same_regular_file(&asked, &map->identities[i])))
            back->names[back->n_names++] = name;
    }
    return back->n_names != 0;
}

// Answers how many output lines segment i holds.
static std::uint64_t
count_segment_lines(const line_map *map, std::size_t i)
{
    std::uint64_t end = i + 1 < map->n_segments
                            ? map->segments[i + 1].first_line
                            : count_output_lines(map) + 1;
    return end - map->segments[i].first_line;
}

static int
is_asked(const way_back *back, const char *name)
{
    for (std::size_t i = 0; i < back->n_names; ++i) {
        if (back->names[i] == name)
            return 1;
    }
    return 0;
}

// Takes the n output lines from first on, which come from name: one for
// one from source_line on, or, for a note, each from source_line. Prints
// those that come from the line asked, each once and in order.
static void
walk_stretch(const line_map *map, way_back *back, const char *name,
             std::uint64_t source_line, std::uint64_t first, std::uint64_t n,
             int is_note)
{
    if (!is_asked(back, name))
        return;
    std::uint64_t last = is_note ? source_line : source_line + n - 1;
    if (last > back->n_lines)
        back->n_lines = last;
    if (back->line < source_line || back->line > last)
        return;
    std::uint64_t from = is_note ? first : first + back->line - source_line;
    std::uint64_t to = is_note ? first + n : from + 1;
    for (std::uint64_t line = from; line < to; ++line) {
        if (line > back->last_answer) {
            write_place(map->compared->file_name, line);
            back->last_answer = line;
        }
    }
}

// A directive that took in a file has no output line of its own: the
// first line of what it took in stands for it, where there is one.
static void
walk_expansion(const line_map *map, way_back *back, std::size_t i)
{
    const map_expansion *expansion = &map->expansions[i];
    walk_stretch(map, back, expansion->file_name, expansion->line,
                 expansion->first_line,
                 expansion->first_line < expansion->end_line, 1);
}

// Answers the question text, of line of file_name.
static int
answer_source_line(line_map *map, const char *text, const char *file_name,
                   std::uint64_t line)
{
    static way_back back;
    back = {};
    back.line = line;
    if (!find_source(map, file_name, &back)) {
        (void)std::fprintf(stderr, "textweld-where: the run did not read %s\n",
                           file_name);
        return 0;
    }
    // An expansion begins where a segment does: the two walk in step.
    std::size_t e = 0;
    for (std::size_t i = 0; i < map->n_segments; ++i) {
        const map_segment *segment = &map->segments[i];
        for (; e < map->n_expansions &&
               map->expansions[e].first_line <= segment->first_line;
             ++e)
            walk_expansion(map, &back, e);
        walk_stretch(map, &back, segment->file_name, segment->source_line,
                     segment->first_line, count_segment_lines(map, i),
                     segment->is_note);
    }
    for (; e < map->n_expansions; ++e)
        walk_expansion(map, &back, e);
    if (back.last_answer != 0)
        return 1;
    if (line == 0 || line > back.n_lines)
        (void)std::fprintf(
            stderr, "textweld-where: %s has %llu lines, not %s\n", file_name,
            static_cast<unsigned long long>(back.n_lines),
            text + std::strlen(file_name) + 1);
    else
        (void)std::fprintf(stderr,
                           "textweld-where: %s left nothing in %s: its "
                           "directive expands to nothing\n",
                           text, map->compared->file_name);
    return 0;
}

static int
is_number(const char *text, std::uint64_t *value)
{
    std::size_t n = std::strlen(text);
    return n != 0 && read_digits(text, n, value) == n;
}

int
answer_questions(line_map *map, char *const *texts, std::size_t n)
{
    int answered_all = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const char *text = texts[i];
        // A name holding a colon is read up to its last colon.
        const char *colon = std::strrchr(text, ':');
        std::size_t name_length =
            colon != nullptr ? static_cast<std::size_t>(colon - text) : 0;
        char file_name[file_name_size];
        std::uint64_t line;
        int answered = 0;
        if (is_number(text, &line)) {
            answered = answer_output_line(map, text, line);
        } else if (name_length != 0 && name_length < sizeof file_name &&
                   is_number(colon + 1, &line)) {
            std::memcpy(file_name, text, name_length);
            file_name[name_length] = '\0';
            answered = answer_source_line(map, text, file_name, line);
        } else {
            (void)std::fprintf(stderr,
                               "textweld-where: not a line number: %s\n", text);
        }
        answered_all = answered_all && answered;
    }
    flush_standard_stream(stdout);
    return answered_all;
}
