#include "sys/files.h"

#include "sys/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

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
        close_input_file(file);
        return no_input_file;
    }
    return file;
}

void
close_input_file(input_file file)
{
    (void)_close(file);
}

const char folder_separators[] = "/\\:";

// ReplaceFile's flag for a file system that keeps no access lists.
constexpr DWORD replace_ignoring_acl_errors = 0x00000004;
// Tries to put an output in place while another program holds a file, and
// the pause between them.
constexpr int max_replace_tries = 10;
constexpr DWORD replace_retry_ms = 100;

// A symbolic link or junction is followed to the file it reaches, which is
// replaced in its own folder; any other name is the file's.
int
resolve_links(const char *name, char *buf, std::size_t cap)
{
    DWORD attributes = GetFileAttributesA(name);
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        std::size_t length = std::strlen(name);
        if (length >= cap)
            return 0;
        std::memcpy(buf, name, length + 1);
        return 1;
    }
    HANDLE handle = open_attributes(name);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD cap_now = cap < MAXDWORD ? static_cast<DWORD>(cap) : MAXDWORD;
    DWORD n =
        GetFinalPathNameByHandleA(handle, buf, cap_now, FILE_NAME_NORMALIZED);
    (void)CloseHandle(handle);
    return n != 0 && n < cap_now;
}

int
open_for_writing(const char *name, int *is_new)
{
    *is_new = 0;
    int file = _open(name, _O_WRONLY | _O_BINARY);
    if (file >= 0 || errno != ENOENT)
        return file;
    int exists = 0;
    file = create_new_file(name, &exists);
    if (file >= 0) {
        *is_new = 1;
        return file;
    }
    return exists ? _open(name, _O_WRONLY | _O_BINARY) : -1;
}

// A new file may be removed while it is open, when the console closes or
// Ctrl-C ends the run.
int
create_new_file(const char *name, int *exists)
{
    HANDLE handle =
        CreateFileA(name, GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    *exists = handle == INVALID_HANDLE_VALUE &&
              (GetLastError() == ERROR_FILE_EXISTS ||
               GetLastError() == ERROR_ALREADY_EXISTS);
    if (handle == INVALID_HANDLE_VALUE)
        return -1;
    int file = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (file < 0)
        (void)CloseHandle(handle);
    return file;
}

// ReplaceFile gives the new file the old one's attributes and security
// when it is put in place.
int
take_attributes(int output, int temp)
{
    (void)output;
    (void)temp;
    return 1;
}

std::FILE *
open_stream(int file)
{
    return _fdopen(file, "wb");
}

void
close_file(int file)
{
    (void)_close(file);
}

void
remove_file(const char *name)
{
    (void)DeleteFileA(name);
}

static const output_file *volatile interrupted_output;

// Runs on a thread of its own; the temporary file is gone once the process
// ends and closes it.
static BOOL WINAPI
remove_and_end(DWORD event)
{
    (void)event;
    const output_file *file = interrupted_output;
    if (file != nullptr)
        (void)DeleteFileA(file->is_replaced ? file->temp_name
                                            : file->final_name);
    return FALSE;
}

void
remove_if_interrupted(const output_file *file)
{
    static int is_set = 0;
    interrupted_output = file;
    if (!is_set)
        is_set = SetConsoleCtrlHandler(remove_and_end, TRUE) != 0;
}

// ReplaceFile keeps the old file's attributes and security; a file that
// has gone meanwhile is simply renamed over.
static int
replace_file(const output_file *file)
{
    return ReplaceFileA(file->final_name, file->temp_name, nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS |
                            replace_ignoring_acl_errors,
                        nullptr, nullptr) ||
           MoveFileExA(file->temp_name, file->final_name,
                       MOVEFILE_REPLACE_EXISTING);
}

int
place_output_file(const output_file *file)
{
    remove_if_interrupted(nullptr);
    // A virus scanner or an indexer may hold either file for a moment.
    for (int tries = 1;; ++tries) {
        if (replace_file(file))
            return 1;
        DWORD error = GetLastError();
        if (tries == max_replace_tries ||
            (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
            return 0;
        Sleep(replace_retry_ms);
    }
}

int
empty_output_file(output_file *file, const file_identity *identity)
{
    if (file->is_replaced || !identity->is_regular || identity->size == 0)
        return 1;
    HANDLE handle = handle_of(_fileno(file->stream));
    LARGE_INTEGER start = {};
    return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) &&
           SetEndOfFile(handle);
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
read_file_once(input_file file, char *buf, std::size_t n)
{
    DWORD wanted =
        n < max_transfer_size ? static_cast<DWORD>(n) : max_transfer_size;
    DWORD read = 0;
    if (!ReadFile(handle_of(file), buf, wanted, &read, nullptr)) {
        DWORD error = GetLastError();
        return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE
                   ? 0
                   : read_failed;
    }
    return read;
}

std::size_t
read_file_at(input_file file, std::uint64_t offset, char *buf, std::size_t n)
{
    return read_handle(handle_of(file), &offset, buf, n);
}

std::size_t
write_file(output_file *output, const char *text, std::size_t n)
{
    HANDLE handle = handle_of(_fileno(output->stream));
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
