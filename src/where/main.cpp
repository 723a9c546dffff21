#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/position.h"
#include "expand/writer.h"
#include "sys/files.h"
#include "where/where.h"

#include <cstddef>
#include <cstring>

// Bytes of the output read at once to compare them with what the run makes.
constexpr std::size_t comparison_buffer_size = 128 * 1024;

// Answers the command after "--" in the arguments past the input and the
// output, or nullptr where there is none.
static char *const *
find_command(int argc, char **argv)
{
    if (argc > 4 && std::strcmp(argv[3], "--") == 0)
        return argv + 4;
    return nullptr;
}

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    static line_map map;
    start_run_position(&map.at, "textweld-where");
    divert_failures(report_map_failure, &map);
    if (argc < 3)
        fatal("usage: textweld-where <input file> <output file> "
              "[<line>... | -- <command>...]\n");
    char *const *command = find_command(argc, argv);
    map_failure_step on_failure = command != nullptr
                                      ? map_failure_step::run_command
                                  : argc == 3 ? map_failure_step::pass_input_on
                                              : map_failure_step::none;
    // Read as textweld reads, comparing what it would write with the output.
    char buf[comparison_buffer_size];
    text_output out;
    ready_text_output(&out, output_kind::comparison, buf, sizeof buf);
    start_line_map(&map, argv[1], &out, on_failure, command);
    const run_watcher watcher = {watch_for_map, &map};
    run_expansion(argv[1], argv[2], &out, &watcher);
    refuse_stale_map(&map, argv[1]);
    if (command != nullptr)
        return wrap_command(&map, argv[2], command);
    if (argc == 3) {
        filter_messages(&map, argv[2]);
        return 0;
    }
    return answer_queries(&map, argv + 3, static_cast<std::size_t>(argc - 3))
               ? 0
               : 1;
}
