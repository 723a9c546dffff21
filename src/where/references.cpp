#include "where/where.h"

#include <cstring>

// The escape byte that starts a colour or style sequence.
constexpr char escape = '\x1b';

// The shapes of a reference to a line of the output, as assemblers write
// them: @ stands for the output's name, bare or in quotes, # for the line
// number. Rows are tried in this order, the longest first, so that a
// shorter row never takes what a longer one would. What follows a shape,
// such as a column, stays as it is. textweld-where(1) shows this table as
// it stands: a row is a pattern in quotes, a comma and a comment.
static constexpr const char *shapes[] = {
    "line # of file @", // pasmo: ERROR on line 3 of file flat.asm
    "line # in file @", // line 3 in file flat.asm
    "line # of @",      // line 3 of flat.asm
    "line # in @",      // line 3 in flat.asm
    "@, line #",        // acme: Error - File flat.s, line 3 (Zone ...)
    "@:line #",         // xa65: flat.a65:line 4: 1001:Syntax error
    "@ line #",         // flat.asm line 0003: ...
    "@: #:",            // avra in a macro: [Macro: flat.asm: 4:]
    "@ (#)",            // dasm: flat.asm (3): error
    "@ [#]",            // fasm: flat.asm [3]:
    "@(#)",             // avra, ca65: flat.asm(3) : Error, flat.s(3): Error
    "@:#",              // nasm, yasm, gpasm, GNU as, 64tass: flat.asm:3:9:
};

// A set of bytes, asked of every byte of every message line.
struct byte_set {
    unsigned char holds[256];
};

// The bytes that may stand in a file name, so that a name the message
// holds does not start or end beside them: letters, digits, "._-/\\~+"
// and the bytes of UTF-8 sequences.
static constexpr byte_set
make_name_bytes()
{
    byte_set set = {};
    for (int c = 0; c < 256; ++c)
        set.holds[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                       (c >= 'A' && c <= 'Z') || c >= 0x80 || c == '.' ||
                       c == '_' || c == '-' || c == '/' || c == '\\' ||
                       c == '~' || c == '+';
    return set;
}

// The bytes a shape begins with, where it does not begin with the name.
static constexpr byte_set
make_first_bytes()
{
    byte_set set = {};
    for (const char *shape : shapes)
        set.holds[static_cast<unsigned char>(shape[0])] = shape[0] != '@';
    return set;
}

static constexpr byte_set name_bytes = make_name_bytes();
static constexpr byte_set first_bytes = make_first_bytes();

static int
is_name_byte(char c)
{
    return name_bytes.holds[static_cast<unsigned char>(c)];
}

// Answers where the escape sequences from text[at] on end: each is ESC [,
// parameter bytes, intermediate bytes and a final byte, as ESC [ 1 ; 3 1 m.
static std::size_t
skip_escapes(const reference_scan *scan, std::size_t at)
{
    const char *text = scan->text;
    for (;;) {
        if (at + 2 >= scan->n || text[at] != escape || text[at + 1] != '[')
            return at;
        std::size_t i = at + 2;
        while (i < scan->n && text[i] >= 0x30 && text[i] <= 0x3f)
            ++i;
        while (i < scan->n && text[i] >= 0x20 && text[i] <= 0x2f)
            ++i;
        if (i == scan->n || text[i] < 0x40 || text[i] > 0x7e)
            return at;
        at = i + 1;
    }
}

// Answers whether the name, bare or quoted, stands at text[at], storing
// where it stands in found and where it ends, its quote included, in *at.
static int
match_name(const reference_scan *scan, std::size_t *at, reference *found)
{
    const char *text = scan->text;
    char quote = *at < scan->n && (text[*at] == '"' || text[*at] == '\'')
                     ? text[*at]
                     : '\0';
    std::size_t name_at = *at + (quote != '\0');
    std::size_t name_end = name_at + scan->name_length;
    if (scan->name_length == 0 || name_end + (quote != '\0') > scan->n ||
        std::memcmp(text + name_at, scan->name, scan->name_length) != 0 ||
        (quote != '\0' && text[name_end] != quote))
        return 0;
    found->name_at = name_at;
    found->name_end = name_end;
    *at = name_end + (quote != '\0');
    return 1;
}

// Answers whether a line number the output has stands at text[at],
// storing where its digits stand in found and where they end in *at.
static int
match_number(const reference_scan *scan, std::size_t *at, reference *found)
{
    std::size_t n = read_digits(scan->text + *at, scan->n - *at, &found->line);
    if (n == 0 || found->line == 0 || found->line > scan->n_lines)
        return 0;
    found->number_at = *at;
    found->number_end = *at + n;
    *at += n;
    return 1;
}

// Answers whether the shape stands at text[at], storing the reference and
// in *end where it ends. Escape sequences may stand before each part.
static int
match_shape(const reference_scan *scan, const char *shape, std::size_t at,
            reference *found, std::size_t *end)
{
    for (const char *part = shape; *part != '\0'; ++part) {
        at = skip_escapes(scan, at);
        if (*part == '@'   ? !match_name(scan, &at, found)
            : *part == '#' ? !match_number(scan, &at, found)
                           : at == scan->n || scan->text[at++] != *part)
            return 0;
    }
    // A name that ends the shape ends there too, or before a full stop that
    // ends a sentence: "line 3 of flat.asm.bak" names another file.
    std::size_t after = at < scan->n && scan->text[at] == '.' ? at + 1 : at;
    if (shape[std::strlen(shape) - 1] == '@' && after < scan->n &&
        is_name_byte(scan->text[after]))
        return 0;
    *end = at;
    return 1;
}

void
start_reference_scan(reference_scan *scan, const char *name,
                     std::uint64_t n_lines, const char *text, std::size_t n)
{
    scan->name = name;
    scan->name_length = std::strlen(name);
    scan->n_lines = n_lines;
    scan->text = text;
    scan->n = n < message_line_size ? n : message_line_size;
    scan->at = 0;
    scan->boundary = 1;
}

int
next_reference(reference_scan *scan, reference *found)
{
    while (scan->at < scan->n) {
        std::size_t at = scan->at;
        std::size_t after_escapes = skip_escapes(scan, at);
        if (after_escapes != at) {
            // A sequence ends in a letter, but never joins a name.
            scan->at = after_escapes;
            scan->boundary = 1;
            continue;
        }
        // A shape begins with its first byte, or with the name, bare or
        // quoted, where it begins with @.
        char c = scan->text[at];
        int may_be_name = c == scan->name[0] || c == '"' || c == '\'';
        int may_begin =
            scan->boundary &&
            (may_be_name || first_bytes.holds[static_cast<unsigned char>(c)]);
        std::size_t end;
        for (std::size_t i = 0; may_begin && i < sizeof shapes / sizeof *shapes;
             ++i) {
            const char *shape = shapes[i];
            if ((shape[0] == '@' ? may_be_name : shape[0] == c) &&
                match_shape(scan, shape, at, found, &end)) {
                scan->at = end;
                scan->boundary = !is_name_byte(scan->text[end - 1]);
                return 1;
            }
        }
        scan->boundary = !is_name_byte(scan->text[at]);
        ++scan->at;
    }
    return 0;
}

// Writes the reference's name and number anew, naming the source file and
// line, with the text between them as it was; answers where it ends.
static std::size_t
write_reference(const line_map *map, std::FILE *to, const char *text,
                const reference *found)
{
    const map_segment *segment = find_segment(map, found->line);
    std::size_t width = found->number_end - found->number_at;
    // Zeros before the number keep its width.
    if (text[found->number_at] != '0')
        width = 0;
    std::uint64_t line = source_line_of(segment, found->line);
    const char *name = segment->file_name;
    if (found->name_at < found->number_at) {
        write_standard_stream(to, name, std::strlen(name));
        write_standard_stream(to, text + found->name_end,
                              found->number_at - found->name_end);
        write_standard_number(to, line, width);
        return found->number_end;
    }
    write_standard_number(to, line, width);
    write_standard_stream(to, text + found->number_end,
                          found->name_at - found->number_end);
    write_standard_stream(to, name, std::strlen(name));
    return found->name_end;
}

void
rewrite_line(const line_map *map, const char *output_name, std::FILE *to,
             const char *text, std::size_t n)
{
    reference_scan scan;
    start_reference_scan(&scan, output_name, count_output_lines(map), text, n);
    std::size_t copied = 0;
    reference found;
    while (next_reference(&scan, &found)) {
        std::size_t first =
            found.name_at < found.number_at ? found.name_at : found.number_at;
        // A quote before the name stays, as does all before the reference.
        write_standard_stream(to, text + copied, first - copied);
        copied = write_reference(map, to, text, &found);
    }
    write_standard_stream(to, text + copied, n - copied);
}
