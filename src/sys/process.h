#ifndef TEXTWELD_SYS_PROCESS_H
#define TEXTWELD_SYS_PROCESS_H

#include "sys/files.h"

#include <cstddef>
#include <cstdint>

// Status of a command that could not be started, as shells give it.
constexpr int command_not_started = 127;

// A command started by this program: its process, and, where its standard
// output and error are read by this program, the ends they are read from;
// else no_input_file.
struct command_run {
    std::intptr_t process;
    input_file output;
    input_file errors;
};

// Starts the command named by command[0], found as a shell finds it,
// with command[1...] as its arguments (no shell in between) and this
// program's standard input; its standard output and error go to pipes read
// through run where is_read is 1, else to this program's own. Answers
// whether it started.
int start_command(char *const *command, int is_read, command_run *run);

// Most files wait_for_input waits on: a command's output and errors.
constexpr std::size_t max_waited_inputs = 2;

// Waits until one of the n files, at most max_waited_inputs, those not
// no_input_file, has bytes to read or has ended; answers its index.
std::size_t wait_for_input(const input_file *files, std::size_t n);

// Waits for the command to end and answers its status as shells give it:
// its exit status, or 128 plus the number of the signal that ended it.
int wait_for_command(const command_run *run);

#endif
