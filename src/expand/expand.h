#ifndef TEXTWELD_EXPAND_EXPAND_H
#define TEXTWELD_EXPAND_EXPAND_H

#include <cstddef>
#include <cstdio>
#include <sys/stat.h>

// Most bytes one read of a line yields: a longer line arrives in pieces.
constexpr std::size_t piece_size = 1023;
// Room for an include name and its terminator; a name is shorter than its
// piece.
constexpr std::size_t name_size = piece_size + 1;
// Bytes a level reads ahead from a pipe or a device, which cannot be read
// again; 1024 nested levels must fit the default stack.
constexpr std::size_t input_size = 4096;
// Most bytes read at once from a regular file, through the one window that
// all levels share: large reads keep the run near the cost of a copy.
constexpr std::size_t window_size = 512 * 1024;

// One file being read: buf[begin, end) of size bytes has been read but not
// yet handed on. buf is the shared window for a regular file, else own.
struct text_input {
    std::FILE *stream;
    const char *file_name;
    struct stat status;
    char *buf;
    std::size_t size;
    std::size_t begin;
    std::size_t end;
    std::size_t read_size;
    int at_eof;
    char own[input_size];
};

// Expands the named file into out, depth first; returns once all of it is
// written, and ends the run on any failure.
void expand_include_directives(const char *file_name, std::FILE *out);

// Answers whether the n-byte piece is an include directive, storing its name
// terminated in name; ends the run on a malformed directive.
int get_include_file_name(const char *piece, std::size_t n, char *name,
                          std::size_t name_cap);

// Ends the run if input, called name, is the same regular file as output.
void refuse_output_file(const char *name, const struct stat *input,
                        const struct stat *output);

// Reads the open stream from its start: a regular file through the shared
// window, anything else through the input's own buffer.
void start_text_input(text_input *in, std::FILE *stream, const char *file_name);

// Answers the length of the line piece that starts text, or 0 when the n bytes
// at hand are too few to tell and more of the file is to come.
std::size_t measure_line_piece(const char *text, std::size_t n, int at_eof);

// Answers the length of the next line piece, at in->buf + in->begin, reading
// as needed; 0 at end of file. The caller consumes it.
std::size_t next_line_piece(text_input *in);

#endif
