#ifndef TEXTWELD_SYS_OUTPUT_H
#define TEXTWELD_SYS_OUTPUT_H

#include "sys/files.h"

#include <cstddef>

// textweld's output file, one a run. Until the run ends, the bytes of a
// file that existed stay as they were: the text goes to a temporary file,
// which then takes the output's name, or is copied into the output where
// it stands. A new file, and one that is not regular (a device, a pipe),
// is written as the run goes.

// Opens the named output for writing without changing it, or creates it,
// and stores the identity of the file at that name; answers 0 when it
// cannot be opened or identified, or no temporary file can be made for it.
int open_output_file(const char *name, file_identity *identity);

// Answers whether the n bytes of text could be written.
int write_output_file(const char *text, std::size_t n);

// Answers whether all the text written could be put in the output's place.
// A run that ends otherwise, as a failing one does, puts there what it
// wrote as it exits.
int finish_output_file();

// Leaves the file at the output's name as it was, for a run refused
// because it would read that file; a file the run created keeps what was
// written.
void abandon_output_file();

#endif
