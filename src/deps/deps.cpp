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

// Bytes of a name that make and ninja both read as themselves, besides
// letters, digits and bytes of UTF-8 sequences; ~ only after the first.
static const char plain_bytes[] = "+,-./_@]!{}~";
// Bytes that both read as themselves after a backslash.
static const char escaped_bytes[] = " #:";

// Bytes that make or ninja would read as something else however they were
// written, and why.
struct refusal {
    const char *bytes;
    const char *why;
};

static const refusal refusals[] = {
    {"%", "make reads % as a pattern"},
    {";", "make reads ; as the start of a recipe"},
    {"|", "make reads | as the start of order-only prerequisites"},
    {"=", "make reads = as an assignment"},
    {"()", "make reads parentheses as an archive member"},
    {"*?[", "make expands *, ? and [ as wildcards"},
    {"&", "make reads & before : as a grouped target, ninja as the end"},
    {"'\"<>^`", "ninja reads ' \" < > ^ and ` as the end of a name"},
};

// Names make takes for its own directives: special targets, and names made
// of one or two of its default suffixes, which make a suffix rule.
static const char *const special_targets[] = {".DEFAULT",
                                              ".DELETE_ON_ERROR",
                                              ".EXPORT_ALL_VARIABLES",
                                              ".IGNORE",
                                              ".INTERMEDIATE",
                                              ".LOW_RESOLUTION_TIME",
                                              ".NOTINTERMEDIATE",
                                              ".NOTPARALLEL",
                                              ".ONESHELL",
                                              ".PHONY",
                                              ".POSIX",
                                              ".PRECIOUS",
                                              ".SECONDARY",
                                              ".SECONDEXPANSION",
                                              ".SILENT",
                                              ".SUFFIXES",
                                              ".WAIT"};
static const char *const default_suffixes[] = {
    ".out",    ".a",  ".ln",   ".o",   ".c",   ".cc",      ".C",
    ".cpp",    ".p",  ".f",    ".F",   ".m",   ".r",       ".y",
    ".l",      ".ym", ".yl",   ".s",   ".S",   ".mod",     ".sym",
    ".def",    ".h",  ".info", ".dvi", ".tex", ".texinfo", ".texi",
    ".txinfo", ".w",  ".ch",   ".web", ".sh",  ".elc",     ".el"};

static int
is_plain(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || c >= 0x80 ||
           (c != '\0' && std::strchr(plain_bytes, c) != nullptr);
}

static int
is_escaped(unsigned char c)
{
    return c != '\0' && std::strchr(escaped_bytes, c) != nullptr;
}

// Answers whether the n bytes at name are one of make's default suffixes.
static int
is_default_suffix(const char *name, std::size_t n)
{
    for (const char *suffix : default_suffixes) {
        if (std::strlen(suffix) == n && std::memcmp(suffix, name, n) == 0)
            return 1;
    }
    return 0;
}

// Answers whether make reads name, without its leading "./", which make
// drops, as a special target or a suffix rule.
static int
is_make_directive(const char *name)
{
    while (name[0] == '.' && name[1] == '/')
        name += 2;
    for (const char *target : special_targets) {
        if (std::strcmp(name, target) == 0)
            return 1;
    }
    const char *second = name[0] == '.' ? std::strchr(name + 1, '.') : nullptr;
    std::size_t length = std::strlen(name);
    if (second == nullptr)
        return is_default_suffix(name, length);
    std::size_t first = static_cast<std::size_t>(second - name);
    return is_default_suffix(name, first) &&
           is_default_suffix(second, length - first);
}

// Answers why make or ninja would misread byte i of name, or nullptr.
static const char *
why_byte_unnameable(const char *name, std::size_t i)
{
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '\\') {
        // A run of backslashes is read as itself only before a plain byte.
        while (name[i] == '\\')
            ++i;
        return is_plain(static_cast<unsigned char>(name[i]))
                   ? nullptr
                   : "make and ninja read a backslash before a blank, "
                     "#, :, $ or the end differently";
    }
    if (is_plain(c) || is_escaped(c) || c == '$')
        return nullptr;
    for (const refusal &refused : refusals) {
        if (std::strchr(refused.bytes, c) != nullptr)
            return refused.why;
    }
    return "a control byte ends a name for make or ninja";
}

const char *
why_make_cannot_name(const char *name)
{
    std::size_t length = std::strlen(name);
    if (length == 0)
        return "make and ninja read no name at all";
    if (name[0] == '~')
        return "make reads a leading ~ as a home folder";
    if (name[length - 1] == ' ')
        return "make drops a blank that ends a line";
    if (name[length - 1] == ':')
        return "ninja keeps the backslash before a final :";
    if (is_make_directive(name))
        return "make reads it as a special target or a suffix rule";
    for (std::size_t i = 0; i < length; ++i) {
        const char *why = why_byte_unnameable(name, i);
        if (why != nullptr)
            return why;
    }
    return nullptr;
}

std::size_t
quote_make_name(const char *name, char *buf, std::size_t cap)
{
    if (why_make_cannot_name(name) != nullptr)
        return 0;
    std::size_t n = 0;
    for (const char *p = name; *p != '\0'; ++p) {
        if (n + 3 > cap)
            return 0;
        if (is_escaped(static_cast<unsigned char>(*p)))
            buf[n++] = '\\';
        if (*p == '$')
            buf[n++] = '$';
        buf[n++] = *p;
    }
    buf[n] = '\0';
    return n;
}

static void
write_text(const char *text, std::size_t n)
{
    write_standard_stream(stdout, text, n);
}

// Answers the name a rule gives the named file: as written or, where
// is_absolute is 1, its absolute name, stored in buf; nullptr when that
// does not fit.
static const char *
rule_name(const char *name, int is_absolute, char *buf, std::size_t cap)
{
    if (!is_absolute)
        return name;
    return absolute_file_name(name, buf, cap) ? buf : nullptr;
}

static void
write_make_name(const char *prefix, const char *name, int is_absolute,
                const char *suffix)
{
    char absolute[file_name_size];
    char quoted[quoted_name_size];
    std::size_t n =
        quote_make_name(rule_name(name, is_absolute, absolute, sizeof absolute),
                        quoted, sizeof quoted);
    write_text(prefix, std::strlen(prefix));
    write_text(quoted, n);
    write_text(suffix, std::strlen(suffix));
}

static void
refuse_unnameable(const char *name, int is_absolute)
{
    char absolute[file_name_size];
    const char *written =
        rule_name(name, is_absolute, absolute, sizeof absolute);
    const char *why = written == nullptr ? "its absolute name is too long"
                                         : why_make_cannot_name(written);
    char quoted[quoted_name_size];
    if (why == nullptr && quote_make_name(written, quoted, sizeof quoted) == 0)
        why = "it is too long";
    if (why != nullptr)
        fatal("a make rule cannot name the file %s: %s\n",
              written != nullptr ? written : name, why);
}

void
start_deps_watch(deps_watch *watch, const char *input_name, deps_view view)
{
    start_run_position(&watch->at, "textweld-deps");
    watch->input_name = input_name;
    watch->view = view;
    watch->is_view_ended = 0;
    watch->n_taken = 0;
}

void
report_deps_failure(void *watch, const char *format, std::va_list args)
{
    deps_watch *failed = static_cast<deps_watch *>(watch);
    write_failure(&failed->at, format, args);
    if (failed->view == deps_view::dot)
        end_view(failed);
}

void
watch_for_deps(void *watch, const run_event *event)
{
    deps_watch *seen = static_cast<deps_watch *>(watch);
    follow_run(&seen->at, event);
    if (event->kind == run_event_kind::file_taken_in ||
        event->kind == run_event_kind::repeat_noted)
        add_to_view(seen, event);
    if (event->kind == run_event_kind::file_taken_in &&
        std::strcmp(event->name, seen->input_name) != 0 &&
        seen->n_taken < max_include_files)
        seen->taken[seen->n_taken++] = event->name;
}

void
write_make_rule(const deps_watch *watch, const char *input_name,
                const char *output_name, int is_absolute)
{
    // Every name is checked first: a rule that make misreads is worse than
    // none.
    refuse_unnameable(output_name, is_absolute);
    refuse_unnameable(input_name, is_absolute);
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        refuse_unnameable(watch->taken[i], is_absolute);
    write_make_name("", output_name, is_absolute, ":");
    write_make_name(" ", input_name, is_absolute, "");
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        write_make_name(" ", watch->taken[i], is_absolute, "");
    write_text("\n", 1);
    for (std::size_t i = 0; i < watch->n_taken; ++i)
        write_make_name("", watch->taken[i], is_absolute, ":\n");
    flush_standard_stream(stdout);
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

// Answers whether a byte would go on a word, as in #include_once.
static int
is_word_byte(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || c == '_';
}

// Reports the line whose first piece, of n bytes, would be a directive but
// for letter case, blanks before it or a byte-order mark, or is one although
// the keyword runs on into more letters.
static void
warn_near_miss(const char *file_name, std::uint64_t line, const char *piece,
               std::size_t n)
{
    std::size_t at = 0;
    int has_mark =
        n >= byte_order_mark_length &&
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
    else if (n > include_keyword_length &&
             is_word_byte(piece[include_keyword_length]))
        warn(file_name, line,
             "#include running on into more letters is still a "
             "directive for the quoted name");
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
