#include "expand/writer.h"

#include "expand/fatal.h"

#include <cstring>

[[noreturn]] static void
fail_writing()
{
    fatal("error writing output file\n");
}

void
open_text_output(text_output *out, const char *file_name, char *buf,
                 std::size_t cap)
{
    out->stream = open_output_file(file_name);
    if (out->stream == nullptr)
        fatal("error opening output file\n");
    (void)std::setvbuf(out->stream, buf, _IOFBF, cap);
    out->cap = cap;
    if (!identify_stream(out->stream, &out->identity))
        out->identity = {};
    out->ends_line = 1;
}

void
open_discarding_output(text_output *out, const char *file_name)
{
    out->stream = nullptr;
    out->cap = 0;
    if (!identify_file_name(file_name, &out->identity))
        out->identity = {};
    out->ends_line = 1;
}

void
close_text_output(text_output *out)
{
    if (std::ferror(out->stream) || std::fflush(out->stream) != 0 ||
        std::fclose(out->stream) != 0)
        fail_writing();
}

void
write_output(text_output *out, const char *text, std::size_t n)
{
    if (n == 0)
        return;
    out->ends_line = text[n - 1] == '\n';
    if (out->stream == nullptr)
        return;
    // A run as large as the buffer goes out from where it lies: the stream
    // would copy part of it into its buffer first.
    if (n >= out->cap) {
        if (std::fflush(out->stream) != 0 ||
            write_file(out->stream, text, n) != n)
            fail_writing();
        return;
    }
    if (std::fwrite(text, 1, n, out->stream) != n)
        fail_writing();
}

void
end_output_line(text_output *out)
{
    if (!out->ends_line)
        write_output(out, "\n", 1);
}

void
write_repeat_note(text_output *out, const char *name)
{
    static const char before[] = "\n; multiple include of file ";
    static const char after[] = " suppressed\n";
    write_output(out, before, sizeof before - 1);
    write_output(out, name, std::strlen(name));
    write_output(out, after, sizeof after - 1);
}
