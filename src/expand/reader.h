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

// One file being read. Only the reader moves its cursors: buf[begin, end)
// has been read but not yet handed on; offset is where the file's next read
// starts; at_line_start tells whether buf[begin] starts a line; line, where
// counts_lines is set, is the number of the line that holds buf[begin],
// counted from 1 by line feeds.
struct text_input {
    input_file file;
    const char *file_name;
    file_identity identity;
    char *buf;
    std::size_t cap;
    std::size_t begin;
    std::size_t end;
    std::uint64_t offset;
    std::uint64_t line;
    std::size_t read_size;
    int at_eof;
    int at_line_start;
    int counts_lines;
};

// Opens the named file for reading, counting its lines if counts_lines is
// 1; ends the run if it cannot be opened or is a directory.
void open_text_input(text_input *in, const char *file_name, int counts_lines);

// Closes the file and frees the input's part of the window.
void close_text_input(text_input *in);

// Answers the length of the text at hand up to the first '#' that starts a
// line, storing where it starts in text; reads more when nothing is at hand.
// Answers 0 when such a '#' comes first, or at end of file.
std::size_t next_text_run(text_input *in, const char **text);

// Answers the length of the next line piece, storing where it starts in
// piece; reads as needed; 0 at end of file.
std::size_t next_line_piece(text_input *in, const char **piece);

// Hands on the first n bytes at hand, which the caller has used.
void consume_text(text_input *in, std::size_t n);

// Hands on the line piece of n bytes at hand and the rest of its line.
void skip_line(text_input *in, std::size_t n);

// Answers how many line feeds the n bytes of text hold.
std::uint64_t count_line_feeds(const char *text, std::size_t n);

// Leaves the window to a nested file. A pipe keeps what it has not used; a
// regular file keeps it too while the budget allows, else lets go of it and
// reads it again later.
void lend_window(text_input *in);

#endif
