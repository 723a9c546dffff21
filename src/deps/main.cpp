#include "deps/deps.h"
#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/reader.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstring>

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    int warn = argc > 1 && std::strcmp(argv[1], "--warn") == 0;
    if (argc != 3 + warn)
        fatal("usage: textweld-deps [--warn] <input file> <output file>\n");
    const char *input_name = argv[1 + warn];
    const char *output_name = argv[2 + warn];
    // Read as textweld reads, through an output that keeps nothing.
    text_input in;
    open_top_level_input(&in, input_name, output_name);
    text_output out;
    open_discarding_output(&out, output_name);
    expand_text_input(&in, &out);
    close_text_input(&in);
    write_make_rule(input_name, output_name);
    if (warn)
        warn_near_misses(input_name);
    return 0;
}
