#ifndef TEXTWELD_EXPAND_READER_TESTING_H
#define TEXTWELD_EXPAND_READER_TESTING_H

// What only the unit tests and the fuzz harnesses call: they read inputs
// that no name reaches, such as a pipe, and check how pieces are measured.

#include "expand/reader.h"

#include <cstddef>

// Reads the open file from its start, in the part of the window that the
// enclosing file leaves free, counting its lines if counts_lines is 1.
void start_text_input(text_input *in, input_file file, const char *file_name,
                      int counts_lines);

// Answers the length of the line piece that starts text, or 0 when the n bytes
// at hand are too few to tell and more of the file is to come.
std::size_t measure_line_piece(const char *text, std::size_t n, int at_eof);

#endif
