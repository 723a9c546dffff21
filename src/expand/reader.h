#ifndef TEXTWELD_EXPAND_READER_H
#define TEXTWELD_EXPAND_READER_H

#include "expand/registry.h"
#include "sys/files.h"

#include <cstddef>
#include <cstdint>

// The top file and one file per name taken in can be open at once.
constexpr std::size_t max_open_inputs = max_include_files + 1;
// Most bytes one read of a line yields: a longer line arrives in pieces.
constexpr std::size_t piece_size = 1023;
// Most bytes read at once from a regular file: large reads keep the run near
// the cost of a copy.
constexpr std::size_t file_read_size = 256 * 1024;
// Bytes a pipe or a device is read in, and what such a file holds on to
// while a nested file is read.
constexpr std::size_t stream_read_size = 4096;
// Most bytes that regular files, all levels together, hold on to while
// nested files are read; past it they read their bytes again instead. Each
// new page costs more than a read, so a deep chain must not add pages.
constexpr std::size_t kept_bytes_budget = 64 * 1024;

// One file being read in line pieces: buf[begin, end) has been read but not
// yet handed on. offset is where a regular file's next read starts.
struct text_input {
    input_file file;
    const char *file_name;
    file_identity identity;
    char *buf;
    std::size_t cap;
    std::size_t begin;
    std::size_t end;
    std::uint64_t offset;
    std::size_t read_size;
    int at_eof;
};

// Opens the named file for reading; ends the run if it cannot be opened or
// is a directory.
void open_text_input(text_input *in, const char *file_name);

// Reads the open file from its start, in the part of the window that the
// enclosing file leaves free.
void start_text_input(text_input *in, input_file file, const char *file_name);

// Closes the file and frees the input's part of the window.
void close_text_input(text_input *in);

// Answers the length of the line piece that starts text, or 0 when the n bytes
// at hand are too few to tell and more of the file is to come.
std::size_t measure_line_piece(const char *text, std::size_t n, int at_eof);

// Answers the length of the next line piece, at in->buf + in->begin, reading
// as needed; 0 at end of file. The caller consumes it.
std::size_t next_line_piece(text_input *in);

// Keeps the unread bytes and reads more behind them; answers 0 once no
// unread byte is left. Ends the run on a read error.
int refill_text_input(text_input *in);

// Leaves the window to a nested file. A pipe keeps what it has not used; a
// regular file keeps it too while the budget allows, else lets go of it and
// reads it again later.
void lend_window(text_input *in);

#endif
