#include "sys/files.h"
#include "sys/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Most bytes one ReadFile or WriteFile call is given.
constexpr DWORD max_transfer_size = 1 << 30;

// The C runtime's own table of descriptors holds a full chain.
void
prepare_process(std::size_t n_open_files)
{
    (void)n_open_files;
    (void)_setmode(standard_output, _O_BINARY);
    (void)_setmode(standard_error, _O_BINARY);
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

// Opens the named file or folder for its attributes only, not its
// contents, sharing it with every other opener.
static HANDLE
open_attributes(const char *name)
{
    return CreateFileA(name, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

static HANDLE
handle_of(int descriptor)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

input_file
open_input_file(const char *name, file_identity *identity)
{
    *identity = {};
    input_file file = _open(name, _O_RDONLY | _O_BINARY);
    if (file < 0) {
        // A directory never opens as a file here.
        DWORD attributes = GetFileAttributesA(name);
        identity->is_directory = attributes != INVALID_FILE_ATTRIBUTES &&
                                 (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return no_input_file;
    }
    if (!identify_input_file(file, identity)) {
        (void)_close(file);
        return no_input_file;
    }
    return file;
}

int
close_file(input_file file)
{
    return _close(file) == 0;
}

int
identify_file_name(const char *name, file_identity *identity)
{
    HANDLE handle = open_attributes(name);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    int identified = identify_handle(handle, identity);
    (void)CloseHandle(handle);
    return identified;
}

int
absolute_file_name(const char *name, char *buf, std::size_t cap)
{
    DWORD cap_now = cap < MAXDWORD ? static_cast<DWORD>(cap) : MAXDWORD;
    DWORD n = GetFullPathNameA(name, cap_now, buf, nullptr);
    return n != 0 && n < cap_now;
}

int
identify_input_file(input_file file, file_identity *identity)
{
    return identify_handle(handle_of(file), identity);
}

// Reads once, from offset, or from where the file stands when offset is
// null; the end of a file, or of a pipe whose writer has gone, gives 0.
static std::size_t
read_once(input_file file, const std::uint64_t *offset, char *buf,
          std::size_t n)
{
    OVERLAPPED at = {};
    if (offset != nullptr) {
        at.Offset = static_cast<DWORD>(*offset);
        at.OffsetHigh = static_cast<DWORD>(*offset >> 32);
    }
    DWORD wanted =
        n < max_transfer_size ? static_cast<DWORD>(n) : max_transfer_size;
    DWORD read = 0;
    if (ReadFile(handle_of(file), buf, wanted, &read,
                 offset != nullptr ? &at : nullptr))
        return read;
    DWORD error = GetLastError();
    return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE
               ? 0
               : read_failed;
}

std::size_t
read_file_once(input_file file, char *buf, std::size_t n)
{
    return read_once(file, nullptr, buf, n);
}

std::size_t
read_file_at(input_file file, std::uint64_t offset, char *buf, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        std::uint64_t position = offset + got;
        std::size_t read = read_once(file, &position, buf + got, n - got);
        if (read == read_failed)
            return read_failed;
        if (read == 0)
            break;
        got += read;
    }
    return got;
}

// Opens the named file for reading and writing as disposition says. It may
// be removed while it is open, as an interruption does.
static int
open_handle(const char *name, DWORD disposition)
{
    HANDLE handle =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (file < 0)
        (void)CloseHandle(handle);
    return file;
}

int
open_for_writing(const char *name, int *is_new)
{
    int file = _open(name, _O_WRONLY | _O_BINARY);
    *is_new = file < 0 && errno == ENOENT;
    if (*is_new)
        file = open_handle(name, CREATE_NEW);
    return file;
}

// Never beside the output, which is not replaced here.
int
create_temp_file(const char *beside, char *buf, std::size_t cap)
{
    char folder[MAX_PATH];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (beside != nullptr || n == 0 || n >= sizeof folder || cap < MAX_PATH ||
        !GetTempFileNameA(folder, "tw", 0, buf))
        return -1;
    int file = open_handle(buf, OPEN_EXISTING);
    if (file < 0)
        (void)DeleteFileA(buf);
    return file;
}

int
write_all(int file, const char *text, std::size_t n)
{
    while (n != 0) {
        DWORD wanted =
            n < max_transfer_size ? static_cast<DWORD>(n) : max_transfer_size;
        DWORD written = 0;
        if (!WriteFile(handle_of(file), text, wanted, &written, nullptr) ||
            written == 0)
            return 0;
        text += written;
        n -= written;
    }
    return 1;
}

int
truncate_file(int file, std::uint64_t length)
{
    return _chsize_s(file, static_cast<__int64>(length)) == 0;
}

static void (*remove_when_interrupted)();
static volatile LONG is_finishing;

// Runs on a thread of its own. While the output is put in place, Ctrl-C
// is let pass and the run completes; else the files go, and the process
// ends.
static BOOL WINAPI
remove_and_end(DWORD event)
{
    (void)event;
    if (is_finishing)
        return TRUE;
    remove_when_interrupted();
    return FALSE;
}

void
watch_interruptions(void (*remove)())
{
    remove_when_interrupted = remove;
    (void)SetConsoleCtrlHandler(remove_and_end, TRUE);
}

void
hold_interruptions(int is_held)
{
    is_finishing = is_held;
}
