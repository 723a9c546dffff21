#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/reader.h"
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
    const char *input_name = argv[1];
    const char *output_name = argv[2];
    // Open the input first: a run that cannot read it, such as one given
    // its two names swapped, leaves the output's path as it was.
    text_input in;
    open_top_level_input(&in, input_name, output_name);
    char output_buffer[output_buffer_size];
    text_output out;
    open_text_output(&out, output_name, output_buffer, sizeof output_buffer);
    expand_text_input(&in, &out);
    close_text_input(&in);
    close_text_output(&out);
    return 0;
}
