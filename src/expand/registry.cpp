#include "expand/registry.h"

#include "expand/fatal.h"

#include <cstdint>
#include <cstring>

// Buckets of the index: twice the names, so that probe runs stay short.
constexpr std::size_t n_buckets = 2 * max_include_files;

static_assert((n_buckets & (n_buckets - 1)) == 0, "buckets wrap by a mask");

static char include_file_list[max_include_files][slot_size];
static std::size_t n_include_files;
// Slot number plus one of each name, at the bucket its hash leads to or the
// first free one after it; 0 marks a free bucket.
static std::uint16_t include_file_index[n_buckets];

static_assert(max_include_files < UINT16_MAX, "a bucket holds any slot");

// FNV-1a: cheap, and good enough to spread names that share a prefix.
static std::size_t
hash_name(const char *name)
{
    std::uint32_t hash = 2166136261u;
    for (const char *p = name; *p != '\0'; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return hash & (n_buckets - 1);
}

int
lookfor_include_file(const char *name)
{
    std::size_t bucket = hash_name(name);
    for (; include_file_index[bucket] != 0;
         bucket = (bucket + 1) & (n_buckets - 1)) {
        std::size_t i = include_file_index[bucket] - 1u;
        if (std::strcmp(include_file_list[i], name) == 0)
            return 1;
    }
    // Look up before the capacity test: a known name is still answered when
    // the list is full.
    if (n_include_files == max_include_files)
        fatal("no more room for include file list\n");
    char *slot = include_file_list[n_include_files];
    std::size_t i = 0;
    for (; i + 1 < slot_size && name[i] != '\0'; ++i)
        slot[i] = name[i];
    slot[i] = '\0';
    ++n_include_files;
    include_file_index[bucket] = static_cast<std::uint16_t>(n_include_files);
    return 0;
}
