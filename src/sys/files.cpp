#include "sys/files.h"

#include <cerrno>
#include <fcntl.h>

#ifdef _WIN32
#include <cstring>
#include <io.h>
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::FILE *
open_output_file(const char *name)
{
    return std::fopen(name, "wb");
}

int
is_same_regular_file(const file_identity *a, const file_identity *b)
{
    return a->is_regular && b->is_regular && a->volume == b->volume &&
           a->index == b->index && a->index_high == b->index_high;
}

#ifdef _WIN32

// Most bytes one ReadFile or WriteFile call is given.
constexpr DWORD max_transfer_size = 1 << 30;

// The C runtime's own table of descriptors holds a full chain.
void
prepare_process(std::size_t n_open_files)
{
    (void)n_open_files;
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmode(_fileno(stderr), _O_BINARY);
}

input_file
open_input_file(const char *name)
{
    return _open(name, _O_RDONLY | _O_BINARY);
}

void
close_input_file(input_file file)
{
    (void)_close(file);
}

int
is_unopenable_directory(const char *name)
{
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Where the system offers it, the full 128-bit file id and 64-bit volume
// serial: on ReFS the 64-bit index alone need not tell two files apart.
static void
identify_by_file_id(HANDLE handle, file_identity *identity)
{
    FILE_ID_INFO id;
    if (!GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id))
        return;
    std::uint64_t halves[2];
    static_assert(sizeof halves == sizeof id.FileId, "two halves");
    std::memcpy(halves, &id.FileId, sizeof halves);
    identity->volume = id.VolumeSerialNumber;
    identity->index = halves[0];
    identity->index_high = halves[1];
}

// Only a file on a disk has an identity; a pipe or a device is answered as
// a file that is not regular.
static int
identify_handle(HANDLE handle, file_identity *identity)
{
    *identity = {};
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return 1;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return 0;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 |
                      info.nFileIndexLow;
    identify_by_file_id(handle, identity);
    identity->size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 |
                     info.nFileSizeLow;
    identity->is_directory =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity->is_regular = !identity->is_directory;
    return 1;
}

static HANDLE
handle_of(int descriptor)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

int
identify_file_name(const char *name, file_identity *identity)
{
    // Asks for attributes only: the file's contents are not opened.
    HANDLE handle = CreateFileA(
        name, FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    int identified = identify_handle(handle, identity);
    (void)CloseHandle(handle);
    return identified;
}

int
identify_input_file(input_file file, file_identity *identity)
{
    return identify_handle(handle_of(file), identity);
}

int
identify_stream(std::FILE *stream, file_identity *identity)
{
    return identify_handle(handle_of(_fileno(stream)), identity);
}

// Reads from offset, or from where the file stands when offset is null.
static std::size_t
read_handle(HANDLE handle, const std::uint64_t *offset, char *buf,
            std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        OVERLAPPED at = {};
        if (offset != nullptr) {
            std::uint64_t position = *offset + got;
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
        }
        DWORD wanted = n - got < max_transfer_size ? static_cast<DWORD>(n - got)
                                                   : max_transfer_size;
        DWORD read = 0;
        if (!ReadFile(handle, buf + got, wanted, &read,
                      offset != nullptr ? &at : nullptr)) {
            DWORD error = GetLastError();
            // The end of a file, or of a pipe whose writer has gone.
            if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE)
                break;
            return read_failed;
        }
        if (read == 0)
            break;
        got += read;
    }
    return got;
}

std::size_t
read_file(input_file file, char *buf, std::size_t n)
{
    return read_handle(handle_of(file), nullptr, buf, n);
}

std::size_t
read_file_at(input_file file, std::uint64_t offset, char *buf, std::size_t n)
{
    return read_handle(handle_of(file), &offset, buf, n);
}

std::size_t
write_file(std::FILE *stream, const char *text, std::size_t n)
{
    HANDLE handle = handle_of(_fileno(stream));
    std::size_t done = 0;
    while (done < n) {
        DWORD wanted = n - done < max_transfer_size
                           ? static_cast<DWORD>(n - done)
                           : max_transfer_size;
        DWORD written = 0;
        if (!WriteFile(handle, text + done, wanted, &written, nullptr) ||
            written == 0)
            break;
        done += written;
    }
    return done;
}

#else

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

input_file
open_input_file(const char *name)
{
    int file;
    do
        file = open(name, O_RDONLY | O_CLOEXEC);
    while (file < 0 && errno == EINTR);
    return file;
}

void
close_input_file(input_file file)
{
    (void)close(file);
}

// A directory opens here; it is told by its identity.
int
is_unopenable_directory(const char *name)
{
    (void)name;
    return 0;
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
identify_stream(std::FILE *stream, file_identity *identity)
{
    return identify_input_file(fileno(stream), identity);
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

#endif
