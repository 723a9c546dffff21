#include "sys/files.h"
#include "sys/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

static_assert(PATH_MAX <= file_name_size, "realpath fits a name");

// The signals that end a run whose temporary file must not stay behind.
static const int interruptions[] = {SIGHUP, SIGINT, SIGPIPE, SIGTERM};

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

static int
identify_status(const struct stat *status, file_identity *identity)
{
    identity->volume = static_cast<std::uint64_t>(status->st_dev);
    identity->index = static_cast<std::uint64_t>(status->st_ino);
    identity->index_high = 0;
    identity->size = static_cast<std::uint64_t>(status->st_size);
    identity->is_regular = S_ISREG(status->st_mode);
    identity->is_directory = S_ISDIR(status->st_mode);
    return 1;
}

int
identify_file_name(const char *name, file_identity *identity)
{
    struct stat status;
    return stat(name, &status) == 0 && identify_status(&status, identity);
}

int
identify_input_file(input_file file, file_identity *identity)
{
    struct stat status;
    return fstat(file, &status) == 0 && identify_status(&status, identity);
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
        (void)close(file);
        return no_input_file;
    }
    return file;
}

int
close_file(input_file file)
{
    return close(file) == 0;
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
    std::size_t got = 0;
    while (got < n) {
        ssize_t read_now =
            pread(file, buf + got, n - got, static_cast<off_t>(offset + got));
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

int
open_for_writing(const char *name, int *is_new)
{
    *is_new = 0;
    int file = open_retrying(name, O_WRONLY);
    if (file >= 0 || errno != ENOENT)
        return file;
    file = open_retrying(name, O_WRONLY | O_CREAT | O_EXCL);
    *is_new = file >= 0;
    // Else a link to no file yet, or a file made meanwhile.
    return file >= 0 || errno != EEXIST
               ? file
               : open_retrying(name, O_WRONLY | O_CREAT);
}

int
resolve_name(const char *name, char *buf, std::size_t cap)
{
    return cap >= PATH_MAX && realpath(name, buf) != nullptr;
}

int
create_temp_file(const char *beside, char *buf, std::size_t cap)
{
    const char *folder = beside != nullptr ? beside : std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0')
        folder = "/tmp";
    // A resolved name is absolute: its folder ends at its last slash.
    std::size_t length =
        beside != nullptr
            ? static_cast<std::size_t>(std::strrchr(beside, '/') - beside)
            : std::strlen(folder);
    int n = std::snprintf(buf, cap, "%.*s/.textweld-XXXXXX",
                          static_cast<int>(length), folder);
    return n > 0 && static_cast<std::size_t>(n) < cap ? mkstemp(buf) : -1;
}

int
take_attributes(int output, int temp)
{
    struct stat status;
#ifdef __linux__
    // Extended attributes hold access control lists among others.
    if (flistxattr(output, nullptr, 0) != 0)
        return 0;
#endif
    // fchown fails for a file of another owner, or of a group the process
    // cannot give.
    return fstat(output, &status) == 0 &&
           fchown(temp, status.st_uid, status.st_gid) == 0 &&
           fchmod(temp, status.st_mode & 07777) == 0;
}

// Where the system can, the two files swap names and the old one goes:
// renaming over an existing file makes some file systems write the new one
// out first, which costs more than writing it.
int
place_file(const char *temp, const char *name)
{
#ifdef RENAME_EXCHANGE
    if (renameat2(AT_FDCWD, temp, AT_FDCWD, name, RENAME_EXCHANGE) == 0) {
        (void)unlink(temp);
        return 1;
    }
#endif
    return rename(temp, name) == 0;
}

int
write_all(int file, const char *text, std::size_t n)
{
    while (n != 0) {
        ssize_t written = write(file, text, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return 0;
        text += written;
        n -= static_cast<std::size_t>(written);
    }
    return 1;
}

int
truncate_file(int file, std::uint64_t length)
{
    return ftruncate(file, static_cast<off_t>(length)) == 0;
}

static void (*remove_when_interrupted)();

static void
remove_and_end(int signal_number)
{
    remove_when_interrupted();
    (void)std::signal(signal_number, SIG_DFL);
    (void)std::raise(signal_number);
}

void
watch_interruptions(void (*remove)())
{
    remove_when_interrupted = remove;
    for (int signal_number : interruptions) {
        // An ignored signal stays ignored, so that nohup still works.
        if (std::signal(signal_number, remove_and_end) == SIG_IGN)
            (void)std::signal(signal_number, SIG_IGN);
    }
}

void
hold_interruptions(int is_held)
{
    static sigset_t before;
    sigset_t all;
    sigfillset(&all);
    if (is_held)
        (void)sigprocmask(SIG_BLOCK, &all, &before);
    else
        (void)sigprocmask(SIG_SETMASK, &before, nullptr);
}
