#ifndef TEXTWELD_DEPS_DEPS_H
#define TEXTWELD_DEPS_DEPS_H

#include "expand/expand.h"
#include "expand/registry.h"
#include "report/report.h"

#include <cstddef>

// Room for a file name quoted for make, with its terminator: a name of up to
// 4095 bytes, each written as at most two.
constexpr std::size_t quoted_name_size = 2 * 4095 + 1;

// Answers why make or ninja would read name in a rule as another name or
// as a directive, or nullptr when both read it back exactly as
// quote_make_name writes it.
const char *why_make_cannot_name(const char *name);

// Answers the length of name quoted for a make rule, stored terminated in
// buf; 0 when make or ninja cannot name the file, or buf is too small.
std::size_t quote_make_name(const char *name, char *buf, std::size_t cap);

// What textweld-deps prints on standard output: the make rule, once the
// run is read, or, as the run reads, its include tree or its Graphviz
// graph.
enum class deps_view { rule, tree, dot };

// What textweld-deps learns from a run: where it stands, for a failure, the
// view it prints, and the files it takes in, in the order first read, but
// the input, which a directive may name again.
struct deps_watch {
    run_position at;
    const char *input_name;
    deps_view view;
    int is_view_ended;
    const char *taken[max_include_files];
    std::size_t n_taken;
};

// Readies a watch of the run of input_name that has seen nothing yet and
// prints view.
void start_deps_watch(deps_watch *watch, const char *input_name,
                      deps_view view);

// Reports a failure where the run stands, and ends a graph begun, so that
// what was read still draws: a failure_handler whose context is the
// deps_watch.
void report_deps_failure(void *watch, const char *format, std::va_list args)
    __attribute__((format(printf, 2, 0)));

// Tells the deps_watch what the run does: a run_watcher's report.
void watch_for_deps(void *watch, const run_event *event);

// Writes on standard output the rule that makes output_name from input_name
// and every file taken in, then an empty rule for each file taken in, each
// name as written or, where is_absolute is 1, as an absolute name; ends the
// run if make or ninja cannot name one of them, or writing fails.
void write_make_rule(const deps_watch *watch, const char *input_name,
                     const char *output_name, int is_absolute);

// Prints the first line of the watch's tree or graph, before the run.
void begin_view(const deps_watch *watch);

// Prints a line of the tree or the graph for a file taken in or a repeat.
void add_to_view(const deps_watch *watch, const run_event *event);

// Ends the tree or the graph, once; ends the run if writing fails.
void end_view(deps_watch *watch);

// Reports on standard error each line of the files read that looks like a
// directive but is text, or is a directive that may not be meant as one,
// and each file taken in that holds a NUL byte.
void warn_near_misses(const deps_watch *watch, const char *input_name);

#endif
