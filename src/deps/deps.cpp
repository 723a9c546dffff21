#include "deps/deps.h"

#include "expand/fatal.h"
#include "expand/reader.h"
#include "sys/files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

static const char byte_order_mark[] = "\xEF\xBB\xBF";
static constexpr std::size_t byte_order_mark_length =
    sizeof byte_order_mark - 1;

// Answers whether make reads c, unescaped, as something other than part of
// a name, so that a backslash must stand before it.
static int
is_escaped_for_make(char c)
{
    return std::strchr(" #:*?[]", c) != nullptr;
}

// Answers whether make cannot read c in a name at all: it ends the line or
// the rule, makes a pattern, an archive member or an assignment of it.
static int
is_unnameable_for_make(unsigned char c)
{
    return c < 0x20 || c == 0x7f || std::strchr("%|;=()", c) != nullptr;
}

std::size_t
quote_make_name(const char *name, char *buf, std::size_t cap)
{
    std::size_t length = std::strlen(name);
    // A leading ~ names a home folder; a trailing \ escapes what follows.
    if (length == 0 || name[0] == '~' || name[length - 1] == '\\')
        return 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char c = name[i];
        if (is_unnameable_for_make(static_cast<unsigned char>(c)) ||
            n + 3 > cap)
            return 0;
        // Backslashes before an escaped byte would escape each other.
        if (c == '\\' && is_escaped_for_make(name[i + 1]))
            buf[n++] = '\\';
        if (is_escaped_for_make(c))
            buf[n++] = '\\';
        if (c == '$')
            buf[n++] = '$';
        buf[n++] = c;
    }
    buf[n] = '\0';
    return n;
}

static void
write_text(const char *text, std::size_t n)
{
    if (std::fwrite(text, 1, n, stdout) != n)
        fatal("error writing standard output\n");
}

static void
write_make_name(const char *prefix, const char *name, const char *suffix)
{
    char quoted[quoted_name_size];
    std::size_t n = quote_make_name(name, quoted, sizeof quoted);
    write_text(prefix, std::strlen(prefix));
    write_text(quoted, n);
    write_text(suffix, std::strlen(suffix));
}

static void
refuse_unnameable(const char *name)
{
    char quoted[quoted_name_size];
    if (quote_make_name(name, quoted, sizeof quoted) == 0)
        fatal("make cannot name the file %s\n", name);
}

void
start_deps_watch(deps_watch *watch)
{
    start_run_position(&watch->at, "textweld-deps");
    watch->n_taken = 0;
}

void
watch_for_deps(void *watch, const run_event *event)
{
    deps_watch *seen = static_cast<deps_watch *>(watch);
    follow_run(&seen->at, event);
    if (event->kind == run_event_kind::file_taken_in &&
        seen->n_taken < max_include_files)
        seen->taken[seen->n_taken++] = event->name;
}

void
write_make_rule(const deps_watch *watch, const char *input_name,
                const char *output_name)
{
    // Every name is checked first: a rule that make misreads is worse than
    // none.
    refuse_unnameable(output_name);
    refuse_unnameable(input_name);
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        refuse_unnameable(watch->taken[i]);
    write_make_name("", output_name, ":");
    write_make_name(" ", input_name, "");
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        write_make_name(" ", watch->taken[i], "");
    write_text("\n", 1);
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        write_make_name("", watch->taken[i], ":\n");
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        fatal("error writing standard output\n");
}

static int
equals_ignoring_case(const char *text, const char *lower, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i])
            return 0;
    }
    return 1;
}

static void
warn(const char *file_name, std::uint64_t line, const char *what)
{
    (void)std::fprintf(stderr, "%s:%llu: warning: %s\n", file_name,
                       static_cast<unsigned long long>(line), what);
}

// Reports the line whose first piece, of n bytes, would be a directive but
// for letter case, blanks before it or a byte-order mark.
static void
warn_near_miss(const char *file_name, std::uint64_t line, const char *piece,
               std::size_t n)
{
    std::size_t at = 0;
    int has_mark =
        line == 1 && n >= byte_order_mark_length &&
        std::memcmp(piece, byte_order_mark, byte_order_mark_length) == 0;
    if (has_mark)
        at = byte_order_mark_length;
    std::size_t blanks = at;
    while (blanks < n && (piece[blanks] == ' ' || piece[blanks] == '\t'))
        ++blanks;
    if (n - blanks < include_keyword_length ||
        !equals_ignoring_case(piece + blanks, include_keyword,
                              include_keyword_length))
        return;
    if (has_mark)
        warn(file_name, line,
             "a byte-order mark before #include makes the "
             "line text, not a directive");
    else if (blanks > at)
        warn(file_name, line,
             "#include after blanks or tabs is text, not a "
             "directive");
    else if (std::memcmp(piece, include_keyword, include_keyword_length) != 0)
        warn(file_name, line,
             "#include in other letters than lower case is "
             "text, not a directive");
}

// Reads the named file again, line by line, for what warn_near_miss looks
// for, and for a first NUL byte where binary data is not expected.
static void
scan_file(const char *file_name, int is_included)
{
    file_identity identity;
    // A pipe cannot be read again; a device is no source.
    if (!identify_file_name(file_name, &identity) || !identity.is_regular) {
        (void)std::fprintf(stderr,
                           "%s: warning: not a regular file, not checked\n",
                           file_name);
        return;
    }
    text_input in;
    open_text_input(&in, file_name, 1);
    int nul_reported = !is_included;
    const char *piece;
    for (std::size_t n; (n = next_line_piece(&in, &piece)) != 0;
         consume_text(&in, n)) {
        if (in.at_line_start)
            warn_near_miss(file_name, in.line, piece, n);
        if (!nul_reported && std::memchr(piece, '\0', n) != nullptr) {
            warn(file_name, in.line,
                 "a NUL byte: binary data, such as an "
                 "image, is spliced in as text");
            nul_reported = 1;
        }
    }
    close_text_input(&in);
}

void
warn_near_misses(const deps_watch *watch, const char *input_name)
{
    scan_file(input_name, 0);
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        scan_file(watch->taken[i], 1);
}
