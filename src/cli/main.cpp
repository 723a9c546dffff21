#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/writer.h"
#include "sys/files.h"
#include "sys/output.h"

#include <cstddef>

[[noreturn]] static void
fail_writing()
{
    fatal("error writing output file\n");
}

// The run's text goes to the output file, which keeps its old bytes until
// the run ends.
static void
open_file(void *, const char *name, file_identity *identity)
{
    if (!open_output_file(name, identity))
        fatal("error opening output file\n");
}

static void
write_file(void *, const char *text, std::size_t n)
{
    if (!write_output_file(text, n))
        fail_writing();
}

static void
drop_file(void *)
{
    abandon_output_file();
}

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    if (argc != 3)
        fatal("usage: textweld <input file> <output file>\n");
    const text_sink file = {open_file, write_file, drop_file, nullptr};
    run_expansion(argv[1], argv[2], &file, nullptr);
    if (!finish_output_file())
        fail_writing();
    return 0;
}
