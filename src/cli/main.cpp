#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstddef>

// Output buffer: few large writes keep the run near the cost of a copy.
constexpr std::size_t output_buffer_size = 128 * 1024;

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    if (argc != 3)
        fatal("usage: textweld <input file> <output file>\n");
    char output_buffer[output_buffer_size];
    text_output out;
    ready_text_output(&out, output_kind::file, output_buffer,
                      sizeof output_buffer);
    run_expansion(argv[1], argv[2], &out, nullptr);
    return 0;
}
