// textweld-deps' fatal error: the message textweld prints, on standard
// error, after where it stands: the including file and the line of its
// directive, as compilers write them.
#include "expand/fatal.h"

#include "expand/reader.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Writes where the failure stands. A failure that names the innermost file
// open is about that file, so it stands at the directive that opened it.
static void
write_location(const char *named_file)
{
    const text_input *in = innermost_text_input();
    if (in != nullptr && in->file_name == named_file)
        in = in->outer;
    if (in == nullptr) {
        (void)std::fputs("textweld-deps: ", stderr);
        return;
    }
    std::uint64_t line = count_line_number(in);
    if (line == 0)
        (void)std::fprintf(stderr, "%s: ", in->file_name);
    else
        (void)std::fprintf(stderr, "%s:%llu: ", in->file_name,
                           static_cast<unsigned long long>(line));
}

void
fatal(const char *format, ...)
{
    std::va_list args;
    va_start(args, format);
    const char *named_file = nullptr;
    if (std::strstr(format, "%s") != nullptr) {
        std::va_list name_args;
        va_copy(name_args, args);
        named_file = va_arg(name_args, const char *);
        va_end(name_args);
    }
    write_location(named_file);
    (void)std::vfprintf(stderr, format, args);
    va_end(args);
    std::exit(1);
}
