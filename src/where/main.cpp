#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/version.h"
#include "report/report.h"
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
    "textweld <input file> <output file> came from, and back, after checking\n"
    "that the output is still what textweld makes of the input.\n"
    "\n"
    "  <line>...           print <file>:<line> for each line of the output,\n"
    "                      and <output file>:<line> for each line of the\n"
    "                      output that a <file>:<line> of a source became\n"
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

[[noreturn]] static void
fail_usage()
{
    fatal("usage: textweld-where <input file> <output file> "
          "[<line>... | -- <command>...]\n");
}

// Prints the help or the version and ends the run where the first argument
// asks for one; ends it with the usage for any other option there.
static void
answer_option(int argc, char **argv)
{
    if (argc < 2 || std::strncmp(argv[1], "--", 2) != 0)
        return;
    if (std::strcmp(argv[1], "--help") == 0) {
        write_standard_stream(stdout, help, sizeof help - 1);
    } else if (std::strcmp(argv[1], "--version") == 0) {
        write_standard_stream(stdout, "textweld-where", 14);
        write_standard_stream(stdout, version_line, sizeof version_line - 1);
    } else {
        (void)std::fprintf(stderr, "textweld-where: unknown option %s\n",
                           argv[1]);
        fail_usage();
    }
    flush_standard_stream(stdout);
    std::exit(0);
}

// Answers the command after "--", which must follow the output at once and
// name a command, or nullptr where there is none.
static char *const *
find_command(int argc, char **argv)
{
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 && (i != 3 || i + 1 == argc))
            fail_usage();
        if (std::strcmp(argv[i], "--") == 0)
            return argv + 4;
    }
    return nullptr;
}

// What a failure while the map is made does after its message, so that a
// build still sees what it would without textweld-where: the filter passes
// its input on unchanged; the wrapper runs the command unchanged and ends
// with its status.
struct map_failure {
    run_position *at;
    int is_filter;
    char *const *command;
};

__attribute__((format(printf, 2, 0))) static void
fail_making_map(void *failure, const char *format, std::va_list args)
{
    const map_failure *failed = static_cast<const map_failure *>(failure);
    write_failure(failed->at, format, args);
    if (failed->command != nullptr) {
        // The command's own failure is the one a build must see.
        (void)std::fflush(stderr);
        int status = run_command_unchanged(failed->command);
        std::exit(status != 0 ? status : 1);
    }
    if (failed->is_filter)
        pass_messages_on();
}

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    static line_map map;
    start_run_position(&map.at, "textweld-where");
    divert_failures(write_failure, &map.at);
    answer_option(argc, argv);
    if (argc < 3)
        fail_usage();
    char *const *command = find_command(argc, argv);
    // Read as textweld reads, comparing what it would write with the output.
    char buf[comparison_buffer_size];
    output_comparison compared;
    text_sink sink;
    start_comparison(&compared, buf, sizeof buf, &sink);
    start_line_map(&map, argv[1], &compared);
    const run_watcher watcher = {watch_for_map, &map};
    map_failure on_failure = {&map.at, argc == 3, command};
    // Until the map is known good, a failure also takes its step.
    divert_failures(fail_making_map, &on_failure);
    run_expansion(argv[1], argv[2], &sink, &watcher);
    refuse_stale_map(&map);
    divert_failures(write_failure, &map.at);
    if (command != nullptr)
        return wrap_command(&map, argv[2], command);
    if (argc == 3) {
        filter_messages(&map, argv[2]);
        return 0;
    }
    return answer_questions(&map, argv + 3, static_cast<std::size_t>(argc - 3))
               ? 0
               : 1;
}
