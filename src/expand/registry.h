#ifndef TEXTWELD_EXPAND_REGISTRY_H
#define TEXTWELD_EXPAND_REGISTRY_H

#include <cstddef>

// Room for one include name and its terminator.
constexpr std::size_t slot_size = 1024;
// Distinct include names one run can take in.
constexpr std::size_t max_include_files = 1024;

// Answers whether name was taken in before; records a new name, and ends the
// run when a new name finds the list full.
int lookfor_include_file(const char *name);

// Answers the registry's own copy of the name recorded last, which lasts as
// long as the run.
const char *last_include_file();

#endif
