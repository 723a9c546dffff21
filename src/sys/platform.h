#ifndef TEXTWELD_SYS_PLATFORM_H
#define TEXTWELD_SYS_PLATFORM_H

#include "sys/files.h"

#include <cstddef>
#include <cstdio>

// What files.cpp, the same on every platform, asks of the one platform file
// built beside it. Files are descriptors of the C runtime.

// The bytes after which a name's last part begins.
extern const char folder_separators[];

// Stores in buf, of cap bytes, the name of the file that name reaches
// through symbolic links; answers 0 when it does not fit or cannot be
// followed.
int resolve_links(const char *name, char *buf, std::size_t cap);

// Opens the named file for writing, leaving its bytes, or creates it empty,
// setting *is_new; answers a descriptor, or -1.
int open_for_writing(const char *name, int *is_new);

// Creates the named file, which must not exist yet, for writing, with the
// permissions a new file gets; answers a descriptor, or -1, setting
// *exists when a file had the name.
int create_new_file(const char *name, int *exists);

// Answers whether the new file open as temp could be given the owner, the
// group and the permissions of the output open as output, on the same file
// system, so that it may take the output's place.
int take_attributes(int output, int temp);

// Answers a stream that writes the descriptor, which it then owns, or
// nullptr.
std::FILE *open_stream(int file);

// Closes a descriptor that no stream owns.
void close_file(int file);

// Removes the named file, if it can.
void remove_file(const char *name);

// Answers whether the output's temporary file took its final name; either
// way, an interruption no longer removes it.
int place_output_file(const output_file *file);

// Has an interruption of the process remove the output's temporary file,
// and the file the run created, while file is written; nullptr stops it.
void remove_if_interrupted(const output_file *file);

#endif
