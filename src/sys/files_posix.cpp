#include "sys/files.h"

#include "sys/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
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

const char folder_separators[] = "/";

// Links followed from an output's name before it is written in place.
constexpr int max_link_hops = 40;
// The signals that end a run whose temporary file must not stay behind.
static const int interruptions[] = {SIGHUP, SIGINT, SIGPIPE, SIGTERM};

// Replaces buf's name by target, read from the link buf names, which
// counts from the link's folder when it is relative.
static int
follow_link(char *buf, std::size_t cap, const char *target, std::size_t n)
{
    std::size_t folder = 0;
    if (target[0] != '/') {
        const char *slash = std::strrchr(buf, '/');
        folder =
            slash == nullptr ? 0 : static_cast<std::size_t>(slash - buf) + 1;
    }
    if (folder + n >= cap)
        return 0;
    std::memcpy(buf + folder, target, n);
    buf[folder + n] = '\0';
    return 1;
}

int
resolve_links(const char *name, char *buf, std::size_t cap)
{
    std::size_t length = std::strlen(name);
    if (length >= cap)
        return 0;
    std::memcpy(buf, name, length + 1);
    for (int hops = 0; hops < max_link_hops; ++hops) {
        char target[output_name_size];
        ssize_t n = readlink(buf, target, sizeof target);
        // Not a link, or gone: buf names the file.
        if (n < 0)
            return errno == EINVAL || errno == ENOENT;
        if (static_cast<std::size_t>(n) == sizeof target ||
            !follow_link(buf, cap, target, static_cast<std::size_t>(n)))
            return 0;
    }
    return 0;
}

int
open_for_writing(const char *name, int *is_new)
{
    *is_new = 0;
    int file = open_retrying(name, O_WRONLY);
    if (file >= 0 || errno != ENOENT)
        return file;
    file = open_retrying(name, O_WRONLY | O_CREAT | O_EXCL);
    if (file >= 0) {
        *is_new = 1;
        return file;
    }
    // A link to no file yet, or a file made by another process meanwhile.
    return errno == EEXIST ? open_retrying(name, O_WRONLY | O_CREAT) : -1;
}

int
create_new_file(const char *name, int *exists)
{
    int file = open_retrying(name, O_WRONLY | O_CREAT | O_EXCL);
    *exists = file < 0 && errno == EEXIST;
    return file;
}

int
take_attributes(int output, int temp)
{
    struct stat old_status;
    struct stat new_status;
    // A file mounted on its own, as containers do, cannot be replaced; a
    // file of another owner or group would change hands.
    return fstat(output, &old_status) == 0 && fstat(temp, &new_status) == 0 &&
           old_status.st_dev == new_status.st_dev &&
           fchown(temp, old_status.st_uid, old_status.st_gid) == 0 &&
           fchmod(temp, old_status.st_mode & 07777) == 0;
}

std::FILE *
open_stream(int file)
{
    return fdopen(file, "wb");
}

void
close_file(int file)
{
    (void)close(file);
}

void
remove_file(const char *name)
{
    (void)unlink(name);
}

static const output_file *volatile interrupted_output;

static void
remove_and_end(int signal_number)
{
    const output_file *file = interrupted_output;
    if (file != nullptr)
        (void)unlink(file->is_replaced ? file->temp_name : file->final_name);
    (void)std::signal(signal_number, SIG_DFL);
    (void)std::raise(signal_number);
}

void
remove_if_interrupted(const output_file *file)
{
    interrupted_output = file;
    for (int signal_number : interruptions) {
        struct sigaction action;
        if (sigaction(signal_number, nullptr, &action) != 0 ||
            action.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = file != nullptr ? remove_and_end : SIG_DFL;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        (void)sigaction(signal_number, &action, nullptr);
    }
}

// Answers whether the temporary file could take the final name. Where the
// system can, the two files swap names and the old one goes: renaming over
// an existing file makes some file systems write the new one out first,
// which costs more than writing it.
static int
rename_over(const output_file *file)
{
#ifdef RENAME_EXCHANGE
    if (renameat2(AT_FDCWD, file->temp_name, AT_FDCWD, file->final_name,
                  RENAME_EXCHANGE) == 0) {
        (void)unlink(file->temp_name);
        return 1;
    }
#endif
    return rename(file->temp_name, file->final_name) == 0;
}

int
place_output_file(const output_file *file)
{
    // No interruption between the rename and the end of the watch: it
    // would remove what the rename put in place.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    (void)sigprocmask(SIG_BLOCK, &all, &before);
    int placed = rename_over(file);
    if (placed)
        remove_if_interrupted(nullptr);
    (void)sigprocmask(SIG_SETMASK, &before, nullptr);
    return placed;
}

int
empty_output_file(output_file *file, const file_identity *identity)
{
    // A file already empty is left alone: a truncation makes some file
    // systems write the file out when it is closed.
    return file->is_replaced || !identity->is_regular || identity->size == 0 ||
           ftruncate(fileno(file->stream), 0) == 0;
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
absolute_file_name(const char *name, char *buf, std::size_t cap)
{
    std::size_t n = 0;
    if (name[0] != '/') {
        if (getcwd(buf, cap) == nullptr)
            return 0;
        n = std::strlen(buf);
        if (n == 0 || buf[n - 1] != '/')
            buf[n++] = '/';
        while (name[0] == '.' && name[1] == '/')
            name += 2;
    }
    std::size_t length = std::strlen(name);
    if (n + length >= cap)
        return 0;
    std::memcpy(buf + n, name, length + 1);
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
write_file(output_file *output, const char *text, std::size_t n)
{
    int file = fileno(output->stream);
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
