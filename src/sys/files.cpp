#include "sys/files.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

std::FILE *
open_input_file(const char *name)
{
    return std::fopen(name, "rb");
}

std::FILE *
open_output_file(const char *name)
{
    return std::fopen(name, "wb");
}

int
is_same_regular_file(const file_identity *a, const file_identity *b)
{
    return a->is_regular && b->is_regular && a->volume == b->volume &&
           a->index == b->index;
}

#ifdef _WIN32

// Most streams the C runtime lets one process open.
constexpr int max_open_streams = 2048;
// Most bytes one ReadFile or WriteFile call is given.
constexpr DWORD max_transfer_size = 1 << 30;

void
prepare_process()
{
    (void)_setmode(_fileno(stdout), _O_BINARY);
    (void)_setmaxstdio(max_open_streams);
}

int
is_directory(const char *name)
{
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

static int
identify_handle(HANDLE handle, file_identity *file)
{
    *file = {};
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return handle != INVALID_HANDLE_VALUE;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return 0;
    file->volume = info.dwVolumeSerialNumber;
    file->index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 |
                  info.nFileIndexLow;
    file->size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 |
                 info.nFileSizeLow;
    file->is_regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return 1;
}

int
identify_file_name(const char *name, file_identity *file)
{
    // Asks for attributes only: the file's contents are not opened.
    HANDLE handle = CreateFileA(
        name, FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    int identified = identify_handle(handle, file);
    (void)CloseHandle(handle);
    return identified;
}

int
identify_stream(std::FILE *stream, file_identity *file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return identify_handle(handle, file);
}

std::size_t
read_file_at(std::FILE *stream, std::uint64_t offset, char *buf, std::size_t n)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    std::size_t got = 0;
    while (got < n) {
        OVERLAPPED at = {};
        std::uint64_t position = offset + got;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD wanted = n - got < max_transfer_size ? static_cast<DWORD>(n - got)
                                                   : max_transfer_size;
        DWORD read = 0;
        if (!ReadFile(handle, buf + got, wanted, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
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
write_file(std::FILE *stream, const char *text, std::size_t n)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
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
prepare_process()
{
}

int
is_directory(const char *name)
{
    struct stat status;
    return stat(name, &status) == 0 && S_ISDIR(status.st_mode);
}

static void
identify_status(const struct stat *status, file_identity *file)
{
    file->volume = static_cast<std::uint64_t>(status->st_dev);
    file->index = static_cast<std::uint64_t>(status->st_ino);
    file->size = static_cast<std::uint64_t>(status->st_size);
    file->is_regular = S_ISREG(status->st_mode);
}

int
identify_file_name(const char *name, file_identity *file)
{
    struct stat status;
    if (stat(name, &status) != 0)
        return 0;
    identify_status(&status, file);
    return 1;
}

int
identify_stream(std::FILE *stream, file_identity *file)
{
    struct stat status;
    if (fstat(fileno(stream), &status) != 0)
        return 0;
    identify_status(&status, file);
    return 1;
}

std::size_t
read_file_at(std::FILE *stream, std::uint64_t offset, char *buf, std::size_t n)
{
    int fd = fileno(stream);
    std::size_t got = 0;
    while (got < n) {
        ssize_t read =
            pread(fd, buf + got, n - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return read_failed;
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    return got;
}

std::size_t
write_file(std::FILE *stream, const char *text, std::size_t n)
{
    int fd = fileno(stream);
    std::size_t done = 0;
    while (done < n) {
        ssize_t written = write(fd, text + done, n - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += static_cast<std::size_t>(written);
    }
    return done;
}

#endif
