#include "deps/deps.h"
#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/version.h"
#include "sys/files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char help[] =
    "usage: textweld-deps [--warn] [--tree | --dot | --absolute] "
    "<input file> <output file>\n"
    "Reads what textweld <input file> <output file> reads, by the same "
    "rules,\n"
    "and prints a make rule naming every file it takes in.\n"
    "\n"
    "  --warn      also report lines that look like directives but are "
    "text,\n"
    "              lines that are directives but may not be meant as ones,\n"
    "              and included files that hold NUL bytes\n"
    "  --tree      print the include tree instead, as the run reads it\n"
    "  --dot       print the include graph instead, for Graphviz's dot\n"
    "  --absolute  write every name in the rule as an absolute name, for a\n"
    "              build that runs in another folder, such as CMake's\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "man textweld-deps has the details.\n";

// What a command line asks of textweld-deps.
struct deps_options {
    int warn;
    int is_absolute;
    deps_view view;
    const char *input_name;
    const char *output_name;
};

// textweld-deps reads as textweld reads, into an output that keeps nothing
// and only knows the file at the output's name, which the run must not
// read.
static void
identify_output(void *, const char *name, file_identity *identity)
{
    if (!identify_file_name(name, identity))
        *identity = {};
}

static void
discard_text(void *, const char *, std::size_t)
{
}

static void
keep_output(void *)
{
}

[[noreturn]] static void
print_and_end(const char *text)
{
    write_standard_stream(stdout, text, std::strlen(text));
    flush_standard_stream(stdout);
    std::exit(0);
}

[[noreturn]] static void
print_version()
{
    write_standard_stream(stdout, "textweld-deps", 13);
    print_and_end(version_line);
}

// Answers whether the option, one of those before the names, could be
// taken; prints the help or the version and ends the run if asked.
static int
take_option(const char *option, deps_options *options)
{
    if (std::strcmp(option, "--help") == 0)
        print_and_end(help);
    if (std::strcmp(option, "--version") == 0)
        print_version();
    const deps_view view = std::strcmp(option, "--tree") == 0 ? deps_view::tree
                           : std::strcmp(option, "--dot") == 0
                               ? deps_view::dot
                               : deps_view::rule;
    if (view != deps_view::rule && options->view != deps_view::rule &&
        options->view != view)
        return 0;
    if (view != deps_view::rule)
        options->view = view;
    else if (std::strcmp(option, "--warn") == 0)
        options->warn = 1;
    else if (std::strcmp(option, "--absolute") == 0)
        options->is_absolute = 1;
    else
        return 0;
    return 1;
}

// Answers whether the arguments are a command line of textweld-deps: the
// options, then, after a "--" if one stands there, the input and the output.
static int
read_options(int argc, char **argv, deps_options *options)
{
    *options = {0, 0, deps_view::rule, "", ""};
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        if (argv[i][2] == '\0') {
            ++i;
            break;
        }
        if (!take_option(argv[i], options))
            return 0;
    }
    // The rule is the only thing written with absolute names.
    if (argc - i != 2 ||
        (options->is_absolute && options->view != deps_view::rule))
        return 0;
    options->input_name = argv[i];
    options->output_name = argv[i + 1];
    return 1;
}

int
main(int argc, char **argv)
{
    prepare_process(max_open_files);
    static deps_watch watch;
    start_deps_watch(&watch, "", deps_view::rule);
    divert_failures(report_deps_failure, &watch);
    deps_options options;
    if (!read_options(argc, argv, &options))
        fatal("usage: textweld-deps [--warn] [--tree | --dot | --absolute] "
              "<input file> <output file>\n");
    start_deps_watch(&watch, options.input_name, options.view);
    begin_view(&watch);
    const text_sink sink = {identify_output, discard_text, keep_output,
                            nullptr};
    const run_watcher watcher = {watch_for_deps, &watch};
    run_expansion(options.input_name, options.output_name, &sink, &watcher);
    if (options.view == deps_view::rule)
        write_make_rule(&watch, options.input_name, options.output_name,
                        options.is_absolute);
    end_view(&watch);
    if (options.warn)
        warn_near_misses(&watch, options.input_name);
    return 0;
}
