#ifndef TEXTWELD_TESTS_TEST_SUPPORT_H
#define TEXTWELD_TESTS_TEST_SUPPORT_H

#include "sys/files.h"

#include <cstddef>
#include <string>

// What the unit tests need of the platform beyond the product's own calls.

// Answers a new empty folder under the system's temporary folder.
std::string make_temp_dir();

// Answers the read end of a pipe whose writer writes bytes and closes.
input_file open_pipe_holding(const std::string &bytes);

// Answers whether the process may have n files open at once.
bool allow_open_files(std::size_t n);

// The name of the device that reads as empty.
const char *null_device_name();

#endif
