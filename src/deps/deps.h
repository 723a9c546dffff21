#ifndef TEXTWELD_DEPS_DEPS_H
#define TEXTWELD_DEPS_DEPS_H

#include <cstddef>

// Room for a file name quoted for make, with its terminator: a name of up to
// 4095 bytes, each written as at most two.
constexpr std::size_t quoted_name_size = 2 * 4095 + 1;

// Answers the length of name quoted for a make rule, stored terminated in
// buf; 0 when make cannot name the file, or buf is too small.
std::size_t quote_make_name(const char *name, char *buf, std::size_t cap);

// Writes on standard output the rule that makes output_name from input_name
// and every file taken in, then an empty rule for each file taken in; ends
// the run if make cannot name one of them, or writing fails.
void write_make_rule(const char *input_name, const char *output_name);

// Reports on standard error each line of the files read that looks like a
// directive but is text, and each file taken in that holds a NUL byte.
void warn_near_misses(const char *input_name);

#endif
