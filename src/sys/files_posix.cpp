#include "sys/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

void
prepare_process(std::size_t n_open_files)
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    rlim_t wanted = static_cast<rlim_t>(n_open_files);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted)
        wanted = limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        // A run that keeps the lower limit still works, up to its depth.
        (void)setrlimit(RLIMIT_NOFILE, &limit);
    }
}

static void
identify_status(const struct stat *status, file_identity *identity)
{
    identity->volume = static_cast<std::uint64_t>(status->st_dev);
    identity->index = static_cast<std::uint64_t>(status->st_ino);
    identity->index_high = 0;
    identity->size = static_cast<std::uint64_t>(status->st_size);
    identity->is_regular = S_ISREG(status->st_mode);
    identity->is_directory = S_ISDIR(status->st_mode);
}

static int
open_retrying(const char *name, int flags)
{
    int file;
    do
        file = open(name, flags | O_CLOEXEC, 0666);
    while (file < 0 && errno == EINTR);
    return file;
}

input_file
open_input_file(const char *name, file_identity *identity)
{
    *identity = {};
    input_file file = open_retrying(name, O_RDONLY);
    if (file < 0)
        return no_input_file;
    // A directory opens here; it is told by its identity and never read.
    if (!identify_input_file(file, identity) || identity->is_directory) {
        close_input_file(file);
        return no_input_file;
    }
    return file;
}

void
close_input_file(input_file file)
{
    (void)close(file);
}

std::FILE *
open_output_file(const char *name, file_identity *identity)
{
    int file = open_retrying(name, O_WRONLY | O_CREAT);
    if (file < 0)
        return nullptr;
    std::FILE *stream = nullptr;
    if (identify_input_file(file, identity))
        stream = fdopen(file, "wb");
    if (stream == nullptr)
        (void)close(file);
    return stream;
}

int
empty_output_file(std::FILE *stream, const file_identity *identity)
{
    // A file already empty is left alone: a truncation makes some file
    // systems write the file out when it is closed.
    return !identity->is_regular || identity->size == 0 ||
           ftruncate(fileno(stream), 0) == 0;
}

int
identify_file_name(const char *name, file_identity *identity)
{
    struct stat status;
    if (stat(name, &status) != 0)
        return 0;
    identify_status(&status, identity);
    return 1;
}

int
identify_input_file(input_file file, file_identity *identity)
{
    struct stat status;
    if (fstat(file, &status) != 0)
        return 0;
    identify_status(&status, identity);
    return 1;
}

int
is_same_regular_file(const file_identity *a, const file_identity *b)
{
    return a->is_regular && b->is_regular && a->volume == b->volume &&
           a->index == b->index && a->index_high == b->index_high;
}

// Reads from offset, or from where the file stands when offset is null.
static std::size_t
read_descriptor(int file, const std::uint64_t *offset, char *buf, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        ssize_t read_now = offset != nullptr
                               ? pread(file, buf + got, n - got,
                                       static_cast<off_t>(*offset + got))
                               : read(file, buf + got, n - got);
        if (read_now < 0 && errno == EINTR)
            continue;
        if (read_now < 0)
            return read_failed;
        if (read_now == 0)
            break;
        got += static_cast<std::size_t>(read_now);
    }
    return got;
}

std::size_t
read_file(input_file file, char *buf, std::size_t n)
{
    return read_descriptor(file, nullptr, buf, n);
}

std::size_t
read_file_once(input_file file, char *buf, std::size_t n)
{
    ssize_t got;
    do
        got = read(file, buf, n);
    while (got < 0 && errno == EINTR);
    return got < 0 ? read_failed : static_cast<std::size_t>(got);
}

std::size_t
read_file_at(input_file file, std::uint64_t offset, char *buf, std::size_t n)
{
    return read_descriptor(file, &offset, buf, n);
}

std::size_t
write_file(std::FILE *stream, const char *text, std::size_t n)
{
    int file = fileno(stream);
    std::size_t done = 0;
    while (done < n) {
        ssize_t written = write(file, text + done, n - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += static_cast<std::size_t>(written);
    }
    return done;
}
