#ifndef TEXTWELD_SYS_PLATFORM_H
#define TEXTWELD_SYS_PLATFORM_H

#include "sys/files.h"

#include <cstddef>
#include <cstdint>

// What output.cpp, the same on every platform, asks of the one platform
// file built beside it. Files are descriptors of the C runtime; each call
// answers 1, or a descriptor, when it worked, else 0 or -1.

// Opens the named file for writing, leaving its bytes, or creates it empty
// with the permissions a new file gets, setting *is_new.
int open_for_writing(const char *name, int *is_new);

// Whether a new file may take an existing output's place. Windows would
// keep neither another account's file, nor one another program holds open,
// nor its hard links: there an existing output takes the text in place.
#ifdef _WIN32
constexpr int replaces_files = 0;
#else
constexpr int replaces_files = 1;
#endif

// Stores in buf the name of the file that name reaches through symbolic
// links, where a new file may take that file's place.
int resolve_name(const char *name, char *buf, std::size_t cap);

// Creates a new file, readable and writable by this process only, beside
// the named file or, where beside is nullptr, in the system's folder for
// temporary files; stores its name in buf.
int create_temp_file(const char *beside, char *buf, std::size_t cap);

// Answers whether the new file temp could take the place of output with
// nothing of output's lost: given its owner, group and permissions, where
// output carries no other attributes.
int take_attributes(int output, int temp);

// Gives the file named temp the name name, in place of the file there.
int place_file(const char *temp, const char *name);

// Writes all n bytes where the file stands.
int write_all(int file, const char *text, std::size_t n);

// Cuts the file to its first length bytes.
int truncate_file(int file, std::uint64_t length);

// Has remove called when the process is interrupted, before it ends.
void watch_interruptions(void (*remove)());

// Holds interruptions back while is_held is 1, and lets them through when
// it is 0.
void hold_interruptions(int is_held);

#endif
