#include "expand/expand.h"
#include "expand/fatal.h"

#include <cstdio>
#include <sys/stat.h>

// Output buffer: few large writes keep the run near the cost of a copy.
constexpr std::size_t output_buffer_size = 128 * 1024;

int
main(int argc, char **argv)
{
    if (argc != 3)
        fatal("usage: textweld <input file> <output file>\n");
    const char *input_name = argv[1];
    const char *output_name = argv[2];
    // Refuse before "w" truncates the input it would then read.
    struct stat input;
    struct stat output;
    if (stat(input_name, &input) == 0 && stat(output_name, &output) == 0)
        refuse_output_file(input_name, &input, &output);
    std::FILE *out = std::fopen(output_name, "w");
    if (out == nullptr)
        fatal("error opening output file\n");
    char output_buffer[output_buffer_size];
    (void)std::setvbuf(out, output_buffer, _IOFBF, sizeof output_buffer);
    expand_include_directives(input_name, out);
    if (std::ferror(out) || std::fflush(out) != 0 || std::fclose(out) != 0)
        fatal("error writing output file\n");
    return 0;
}
