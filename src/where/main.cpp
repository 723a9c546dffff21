#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/position.h"
#include "expand/version.h"
#include "expand/writer.h"
#include "sys/files.h"
#include "where/where.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Bytes of the output read at once to compare them with what the run makes.
constexpr std::size_t comparison_buffer_size = 128 * 1024;

static const char help[] =
    "usage: textweld-where <input file> <output file> "
    "[<line>... | -- <command>...]\n"
    "Tells which source file and line a line of the output of\n"
    "textweld <input file> <output file> came from, after checking that the\n"
    "output is still what textweld makes of the input.\n"
    "\n"
    "  <line>...           print <file>:<line> for each line of the output\n"
    "  (neither)           copy standard input to standard output with each\n"
    "                      reference to a line of the output, such as\n"
    "                      flat.asm:12, rewritten into the source's\n"
    "  -- <command>...     run the command, such as the assembler, rewriting\n"
    "                      its standard output and error so, and end with its\n"
    "                      status\n"
    "  --help              print this help and exit\n"
    "  --version           print the version and exit\n"
    "\n"
    "man textweld-where has the details.\n";

// Prints the help or the version and ends the run where the first argument
// asks for one.
static void
answer_help_or_version(int argc, char **argv)
{
    if (argc < 2)
        return;
    if (std::strcmp(argv[1], "--help") == 0)
        write_standard_stream(stdout, help, sizeof help - 1);
    else if (std::strcmp(argv[1], "--version") == 0) {
        write_standard_stream(stdout, "textweld-where", 14);
        write_standard_stream(stdout, version_line, sizeof version_line - 1);
    } else
        return;
    flush_standard_stream(stdout);
    std::exit(0);
}

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
    answer_help_or_version(argc, argv);
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
