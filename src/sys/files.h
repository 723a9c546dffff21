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
    std::uint64_t index_high;
    std::uint64_t size;
    int is_regular;
    int is_directory;
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

// Opens the named file for reading in binary mode and stores its identity;
// answers no_input_file when it cannot be opened or identified, or is a
// directory, which is never read: then identity->is_directory is 1.
input_file open_input_file(const char *name, file_identity *identity);

// Closes an input file.
void close_input_file(input_file file);

// Most bytes of an output's name, resolved through its symbolic links, and
// of the name of the temporary file beside it; an output whose names do
// not fit is written in place.
constexpr std::size_t output_name_size = 4096;

// An output file open for writing. A replaced output's stream writes a
// temporary file, temp_name, beside the file final_name that the output's
// name reaches, and the temporary file takes that name when the output is
// closed; any other output's stream writes the file itself. is_new tells
// that the run created the file.
struct output_file {
    std::FILE *stream;
    int is_replaced;
    int is_new;
    char final_name[output_name_size];
    char temp_name[output_name_size];
};

// Opens the named file for writing in binary mode and stores the identity
// of the file at that name. A file that exists and is regular is replaced:
// its old bytes stay until the output is closed, and the new file takes
// its owner and permissions; where no file can be made beside it with
// those, it is written in place, and so is any other file, such as a
// device. A file that does not exist is created empty and written in
// place. Until the output is closed, an interruption of the process takes
// away the temporary file or the file the run created. Answers 0 when the
// file cannot be opened or identified.
int open_output_file(const char *name, output_file *file,
                     file_identity *identity);

// Answers whether an output written in place could be emptied; a file that
// is not regular, and a replaced output, are left as they are.
int empty_output_file(output_file *file, const file_identity *identity);

// Writes n bytes to the output past its stream's buffer, which must be
// empty; answers how many were written, n unless writing failed.
std::size_t write_file(output_file *file, const char *text, std::size_t n);

// Answers whether the output's last bytes could be written, the file closed
// and a replaced output put in place of the old file. A replaced output
// whose bytes could not all be written is put in place as the run ends.
int close_output_file(output_file *file);

// Leaves a replaced output's old file as it was, removing the temporary
// file: a run that read that file must not replace it.
void keep_old_output(output_file *file);

// Puts a replaced output that is still open in place, with what was written
// so far, as a failing run ends; runs at exit, and is for a program that
// ends otherwise to call first.
void finish_output_at_exit();

// Answers whether the named file could be identified, storing its identity.
// Looks at the file without opening it for reading where the platform can.
int identify_file_name(const char *name, file_identity *identity);

// Stores in buf, of cap bytes, the absolute name of the named file: a
// relative name follows the working folder's, without its leading "./";
// on Windows, the system makes the name whole. Answers 0 when it does not
// fit.
int absolute_file_name(const char *name, char *buf, std::size_t cap);

// Answers whether the open file could be identified.
int identify_input_file(input_file file, file_identity *identity);

// Answers whether both identities name the same regular file.
int is_same_regular_file(const file_identity *a, const file_identity *b);

// Reads up to n bytes from where the file stands, waiting for them on a pipe;
// answers how many, fewer only at the end of the file, or read_failed.
std::size_t read_file(input_file file, char *buf, std::size_t n);

// Reads what one read of the file gives, up to n bytes, without waiting for
// more on a pipe; answers how many, 0 only at the end, or read_failed.
std::size_t read_file_once(input_file file, char *buf, std::size_t n);

// Reads up to n bytes from offset of a regular file; answers how many, fewer
// only at the end of the file, or read_failed.
std::size_t read_file_at(input_file file, std::uint64_t offset, char *buf,
                         std::size_t n);

#endif
