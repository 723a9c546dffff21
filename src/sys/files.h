#ifndef TEXTWELD_SYS_FILES_H
#define TEXTWELD_SYS_FILES_H

#include <cstddef>
#include <cstdint>

// What tells one file from another, whatever name or link reaches it: the
// volume and the file's index on it, 128 bits where the system has them.
struct file_identity {
    std::uint64_t volume;
    std::uint64_t index;
    std::uint64_t index_high;
    std::uint64_t size;
    int is_regular;
    int is_directory;
};

// Answers whether both identities name the same regular file.
inline int
is_same_regular_file(const file_identity *a, const file_identity *b)
{
    return a->is_regular && b->is_regular && a->volume == b->volume &&
           a->index == b->index && a->index_high == b->index_high;
}

// A file open for reading: a descriptor of the C runtime. Inputs are not
// streams, which would allocate a record and a buffer for each of the up to
// 1025 files open at once.
using input_file = int;

// Answered by open_input_file when the file cannot be opened.
constexpr input_file no_input_file = -1;
// Answered by read_file_once and read_file_at when reading fails.
constexpr std::size_t read_failed = static_cast<std::size_t>(-1);
// Most bytes of a name made here, such as an absolute or resolved one,
// with its terminator.
constexpr std::size_t file_name_size = 4096;
// Standard output and standard error, as the C runtime numbers them.
constexpr int standard_output = 1;
constexpr int standard_error = 2;

// Readies the process: standard output and error in binary mode, so that
// lines end in a bare line feed, and room for n_open_files
// descriptors where the soft limit is lower and may be raised.
void prepare_process(std::size_t n_open_files);

// Opens the named file for reading in binary mode and stores its identity;
// answers no_input_file when it cannot be opened or identified, or is a
// directory, which is never read: then identity->is_directory is 1.
input_file open_input_file(const char *name, file_identity *identity);

// Answers whether the file, open for reading or writing, could be closed.
int close_file(input_file file);

// Answers whether the named file could be identified, storing its identity.
// Looks at the file without opening it for reading where the platform can.
int identify_file_name(const char *name, file_identity *identity);

// Answers whether the open file, or standard stream, could be identified.
int identify_input_file(input_file file, file_identity *identity);

// Stores in buf, of cap bytes, the absolute name of the named file: a
// relative name follows the working folder's, without its leading "./";
// on Windows, the system makes the name whole. Answers 0 when it does not
// fit.
int absolute_file_name(const char *name, char *buf, std::size_t cap);

// Reads what one read of the file gives, up to n bytes, without waiting for
// more on a pipe; answers how many, 0 only at the end, or read_failed.
std::size_t read_file_once(input_file file, char *buf, std::size_t n);

// Reads up to n bytes from offset of a regular file; answers how many, fewer
// only at the end of the file, or read_failed.
std::size_t read_file_at(input_file file, std::uint64_t offset, char *buf,
                         std::size_t n);

#endif
