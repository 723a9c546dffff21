#include "expand/registry.h"

#include "expand/fatal.h"

#include <cstring>

static char include_file_list[max_include_files][slot_size];
static std::size_t n_include_files;

int
lookfor_include_file(const char *name)
{
    for (std::size_t i = 0; i < n_include_files; ++i) {
        if (std::strcmp(include_file_list[i], name) == 0)
            return 1;
    }
    // Look up before the capacity test: a known name is still answered when
    // the list is full.
    if (n_include_files == max_include_files)
        fatal("no more room for include file list\n");
    char *slot = include_file_list[n_include_files];
    std::size_t i = 0;
    for (; i + 1 < slot_size && name[i] != '\0'; ++i)
        slot[i] = name[i];
    slot[i] = '\0';
    ++n_include_files;
    return 0;
}
