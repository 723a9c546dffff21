#ifndef TEXTWELD_SYS_FILES_H
#define TEXTWELD_SYS_FILES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// What tells one file from another, whatever name or link reaches it.
struct file_identity {
    std::uint64_t volume;
    std::uint64_t index;
    std::uint64_t size;
    int is_regular;
};

// Answered by read_file_at when reading fails.
constexpr std::size_t read_failed = static_cast<std::size_t>(-1);

// Readies the process: messages in binary mode, room for one open stream per
// nesting level.
void prepare_process();

// Opens the named file for reading in binary mode; nullptr on failure.
std::FILE *open_input_file(const char *name);

// Creates or truncates the named file for writing in binary mode; nullptr on
// failure.
std::FILE *open_output_file(const char *name);

// Answers whether the named file exists and is a directory.
int is_directory(const char *name);

// Answers whether the named file could be identified, storing its identity.
// Looks at the file without opening it for reading where the platform can.
int identify_file_name(const char *name, file_identity *file);

// Answers whether the open stream's file could be identified.
int identify_stream(std::FILE *stream, file_identity *file);

// Answers whether both identities name the same regular file.
int is_same_regular_file(const file_identity *a, const file_identity *b);

// Reads up to n bytes from offset of a regular file without moving any other
// reader's place; answers how many, fewer only at the end of the file, or
// read_failed.
std::size_t read_file_at(std::FILE *stream, std::uint64_t offset, char *buf,
                         std::size_t n);

// Writes n bytes to the stream's file past its buffer, which must be
// empty; answers how many were written, n unless writing failed.
std::size_t write_file(std::FILE *stream, const char *text, std::size_t n);

#endif
