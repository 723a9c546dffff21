#include "deps/deps.h"
#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/position.h"
#include "expand/writer.h"
#include "sys/files.h"

#include <cstring>

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    int warn = argc > 1 && std::strcmp(argv[1], "--warn") == 0;
    const char *input_name = argc == 3 + warn ? argv[1 + warn] : "";
    const char *output_name = argc == 3 + warn ? argv[2 + warn] : "";
    static deps_watch watch;
    start_deps_watch(&watch, input_name);
    divert_failures(write_failure, &watch.at);
    if (argc != 3 + warn)
        fatal("usage: textweld-deps [--warn] <input file> <output file>\n");
    // Read as textweld reads, through an output that keeps nothing.
    text_output out;
    ready_text_output(&out, output_kind::sink, nullptr, 0);
    const run_watcher watcher = {watch_for_deps, &watch};
    run_expansion(input_name, output_name, &out, &watcher);
    write_make_rule(&watch, input_name, output_name);
    if (warn)
        warn_near_misses(&watch, input_name);
    return 0;
}
