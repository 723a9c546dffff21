#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstddef>

// Output buffer: few large writes keep the run near the cost of a copy.
constexpr std::size_t output_buffer_size = 128 * 1024;

// Ends the run before the output is created if it is the input file:
// creating it would truncate the input it is about to read. The input is
// looked at only when the output exists, so that nothing is opened just to
// look at it.
static void
refuse_input_as_output(const char *input_name, const char *output_name)
{
    file_identity output;
    file_identity input;
    if (identify_file_name(output_name, &output) &&
        identify_file_name(input_name, &input))
        refuse_output_file(input_name, &input, &output);
}

int
main(int argc, char **argv)
{
    prepare_process();
    if (argc != 3)
        fatal("usage: textweld <input file> <output file>\n");
    const char *input_name = argv[1];
    const char *output_name = argv[2];
    refuse_input_as_output(input_name, output_name);
    char output_buffer[output_buffer_size];
    text_output out;
    open_text_output(&out, output_name, output_buffer, sizeof output_buffer);
    expand_include_directives(input_name, &out);
    close_text_output(&out);
    return 0;
}
