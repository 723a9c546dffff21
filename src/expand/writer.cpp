#include "expand/writer.h"

#include <cstring>

void
open_run_output(run_output *out, const text_sink *sink, const char *name)
{
    out->sink = sink;
    out->identity = {};
    out->ends_line = 1;
    sink->open(sink->context, name, &out->identity);
}

void
write_output(run_output *out, const char *text, std::size_t n)
{
    if (n == 0)
        return;
    out->ends_line = text[n - 1] == '\n';
    out->sink->write(out->sink->context, text, n);
}

void
end_output_line(run_output *out)
{
    if (!out->ends_line)
        write_output(out, "\n", 1);
}

void
write_repeat_note(run_output *out, const char *name)
{
    static const char before[] = "\n; multiple include of file ";
    static const char after[] = " suppressed\n";
    write_output(out, before, sizeof before - 1);
    write_output(out, name, std::strlen(name));
    write_output(out, after, sizeof after - 1);
}

void
drop_output(run_output *out)
{
    out->sink->drop(out->sink->context);
}
