#ifndef TEXTWELD_SYS_FILES_H
#define TEXTWELD_SYS_FILES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What tells one file from another, whatever name or link reaches it: the
// volume and the file's index on it, 128 bits where the system has them.
struct file_identity {
    std::uint64_t volume;
    std::uint64_t index;
    std::uint64_t size;
    int is_regular;
    int is_directory;
    std::uint64_t index_high;
};

// An input file open for reading: a descriptor of the C runtime. Inputs
// are not streams, which would allocate a record and a buffer for each of
// the up to 1025 files open at once.
using input_file = int;

// Answered by open_input_file when the file cannot be opened.
constexpr input_file no_input_file = -1;
// Answered by read_file and read_file_at when reading fails.
constexpr std::size_t read_failed = static_cast<std::size_t>(-1);

// Readies the process: standard output and error in binary mode, so that
// lines end in a bare line feed, and room for n_open_files
// descriptors where the soft limit is lower and may be raised.
void prepare_process(std::size_t n_open_files);

// Opens the named file for reading in binary mode; no_input_file on failure.
input_file open_input_file(const char *name);

// Closes an input file.
void close_input_file(input_file file);

// Creates or truncates the named file for writing in binary mode; nullptr on
// failure.
std::FILE *open_output_file(const char *name);

// Answers whether the named file, which could not be opened, is a directory
// that the platform never opens as a file.
int is_unopenable_directory(const char *name);

// Answers whether the named file could be identified, storing its identity.
// Looks at the file without opening it for reading where the platform can.
int identify_file_name(const char *name, file_identity *identity);

// Answers whether the open file could be identified.
int identify_input_file(input_file file, file_identity *identity);

// Answers whether the open stream's file could be identified.
int identify_stream(std::FILE *stream, file_identity *identity);

// Answers whether both identities name the same regular file.
int is_same_regular_file(const file_identity *a, const file_identity *b);

// Reads up to n bytes from where the file stands, waiting for them on a pipe;
// answers how many, fewer only at the end of the file, or read_failed.
std::size_t read_file(input_file file, char *buf, std::size_t n);

// Reads up to n bytes from offset of a regular file; answers how many, fewer
// only at the end of the file, or read_failed.
std::size_t read_file_at(input_file file, std::uint64_t offset, char *buf,
                         std::size_t n);

// Writes n bytes to the stream's file past its buffer, which must be
// empty; answers how many were written, n unless writing failed.
std::size_t write_file(std::FILE *stream, const char *text, std::size_t n);

#endif
