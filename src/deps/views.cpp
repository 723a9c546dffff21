#include "deps/deps.h"

#include <cstdio>
#include <cstring>

// What the tree says after a name that is no plain file taken in.
static const char repeat_remark[] = " (repeat: a note)";
static const char input_again_remark[] =
    " (the input again: expanded once more)";
// How the graph draws an edge that is no plain file taken in.
static const char repeat_style[] = ", style=dashed";
static const char input_again_style[] = ", style=bold";

static void
write_text(const char *text)
{
    write_standard_stream(stdout, text, std::strlen(text));
}

// Writes name as a Graphviz ID in double quotes. A backslash is doubled, so
// that the label Graphviz makes of the ID shows it as it is, and a quote
// takes one.
static void
write_graph_id(const char *name)
{
    write_text("\"");
    for (const char *c = name; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '"')
            write_standard_stream(stdout, "\\", 1);
        write_standard_stream(stdout, c, 1);
    }
    write_text("\"");
}

void
begin_view(const deps_watch *watch)
{
    switch (watch->view) {
    case deps_view::rule:
        return;
    case deps_view::tree:
        write_text(watch->input_name);
        write_text("\n");
        return;
    case deps_view::dot:
        write_text("digraph includes {\n  ");
        write_graph_id(watch->input_name);
        write_text(" [shape=box, style=bold];\n");
        return;
    }
}

// Writes a line of the tree: two blanks for each level, the directive's
// file and line, as a compiler names them, the name, and what it became.
static void
add_to_tree(const deps_watch *watch, const run_event *event, const char *remark)
{
    static const char blanks[] = "                                ";
    for (std::size_t left = 2 * watch->at.depth; left > 0;) {
        std::size_t n = left < sizeof blanks - 1 ? left : sizeof blanks - 1;
        write_standard_stream(stdout, blanks, n);
        left -= n;
    }
    write_text(event->file_name);
    write_text(":");
    write_standard_number(stdout, event->line, 0);
    write_text(": ");
    write_text(event->name);
    write_text(remark);
    write_text("\n");
}

// Writes an edge of the graph, from the directive's file to the file it
// names, labelled with the directive's line.
static void
add_to_graph(const run_event *event, const char *style)
{
    write_text("  ");
    write_graph_id(event->file_name);
    write_text(" -> ");
    write_graph_id(event->name);
    write_text(" [label=\"");
    write_standard_number(stdout, event->line, 0);
    write_text("\"");
    write_text(style);
    write_text("];\n");
}

void
add_to_view(const deps_watch *watch, const run_event *event)
{
    int is_repeat = event->kind == run_event_kind::repeat_noted;
    int is_input_again =
        !is_repeat && std::strcmp(event->name, watch->input_name) == 0;
    switch (watch->view) {
    case deps_view::rule:
        return;
    case deps_view::tree:
        add_to_tree(watch, event,
                    is_repeat        ? repeat_remark
                    : is_input_again ? input_again_remark
                                     : "");
        return;
    case deps_view::dot:
        add_to_graph(event, is_repeat        ? repeat_style
                            : is_input_again ? input_again_style
                                             : "");
        return;
    }
}

void
end_view(deps_watch *watch)
{
    // Once: a failure to write the end comes back here.
    if (watch->is_view_ended)
        return;
    watch->is_view_ended = 1;
    if (watch->view == deps_view::dot)
        write_text("}\n");
    flush_standard_stream(stdout);
}
