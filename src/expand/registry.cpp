#include "expand/registry.h"

#include "expand/fatal.h"

#include <cstdint>
#include <cstring>

// Buckets of the index: twice the names, so that probe runs stay short.
constexpr std::size_t n_buckets = 2 * max_include_files;

static_assert((n_buckets & (n_buckets - 1)) == 0, "buckets wrap by a mask");

// Every name taken in, end to end with its terminator: room for the full
// number of names of the greatest length, yet a run with short names
// touches only a few pages of it.
static char include_file_list[max_include_files * slot_size];
static std::size_t include_file_list_used;
static std::size_t last_include_file_start;
static std::size_t n_include_files;
// Where each name starts in the list, plus one, at the bucket its hash leads
// to or the first free one after it; 0 marks a free bucket.
static std::uint32_t include_file_index[n_buckets];

static_assert(sizeof include_file_list < UINT32_MAX, "a bucket holds a start");

// FNV-1a: cheap, and good enough to spread names that share a prefix.
static std::size_t
hash_name(const char *name)
{
    std::uint32_t hash = 2166136261u;
    for (const char *p = name; *p != '\0'; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return hash & (n_buckets - 1);
}

// Copies name to the end of the list; answers where it starts.
static std::size_t
record_name(const char *name)
{
    std::size_t start = include_file_list_used;
    char *slot = include_file_list + start;
    std::size_t i = 0;
    for (; i + 1 < slot_size && name[i] != '\0'; ++i)
        slot[i] = name[i];
    slot[i] = '\0';
    include_file_list_used += i + 1;
    ++n_include_files;
    last_include_file_start = start;
    return start;
}

int
lookfor_include_file(const char *name)
{
    std::size_t bucket = hash_name(name);
    for (; include_file_index[bucket] != 0;
         bucket = (bucket + 1) & (n_buckets - 1)) {
        std::size_t start = include_file_index[bucket] - 1u;
        if (std::strcmp(include_file_list + start, name) == 0)
            return 1;
    }
    // Look up before the capacity test: a known name is still answered when
    // the list is full.
    if (n_include_files == max_include_files)
        fatal("no more room for include file list\n");
    include_file_index[bucket] =
        static_cast<std::uint32_t>(record_name(name) + 1);
    return 0;
}

const char *
last_include_file()
{
    return include_file_list + last_include_file_start;
}
