#include "sys/process.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Most bytes of a command line Windows takes, with its terminator.
constexpr std::size_t command_line_size = 32768;
// How long to wait between looks at pipes that hold nothing yet.
constexpr DWORD pipe_poll_ms = 5;

// Appends c to line[*n], answering 0 when it does not fit.
static int
append(char *line, std::size_t *n, char c)
{
    if (*n + 1 >= command_line_size)
        return 0;
    line[(*n)++] = c;
    return 1;
}

// Appends the argument quoted as the C runtime reads it back: backslashes
// are doubled only before a quote, and a quote takes a backslash.
static int
append_argument(char *line, std::size_t *n, const char *argument)
{
    if (*argument != '\0' && std::strpbrk(argument, " \t\n\v\"") == nullptr) {
        for (const char *c = argument; *c != '\0'; ++c) {
            if (!append(line, n, *c))
                return 0;
        }
        return 1;
    }
    int fits = append(line, n, '"');
    std::size_t backslashes = 0;
    for (const char *c = argument;; ++c) {
        std::size_t doubled = *c == '"' || *c == '\0'
                                  ? backslashes * 2 + (*c == '"')
                                  : backslashes;
        if (*c != '\\') {
            for (std::size_t i = 0; i < doubled; ++i)
                fits = fits && append(line, n, '\\');
            backslashes = 0;
        }
        if (*c == '\0')
            break;
        if (*c == '\\')
            ++backslashes;
        else
            fits = fits && append(line, n, *c);
    }
    return fits && append(line, n, '"');
}

static int
make_command_line(char *const *command, char *line)
{
    std::size_t n = 0;
    for (char *const *argument = command; *argument != nullptr; ++argument) {
        if ((argument != command && !append(line, &n, ' ')) ||
            !append_argument(line, &n, *argument))
            return 0;
    }
    line[n] = '\0';
    return 1;
}

// Answers whether a pipe could be made whose write end the command
// inherits and whose read end is a descriptor of this program.
static int
make_pipe(HANDLE *write_end, input_file *read_end)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE reading;
    if (!CreatePipe(&reading, write_end, &inherited, 0))
        return 0;
    (void)SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    *read_end = _open_osfhandle(reinterpret_cast<intptr_t>(reading),
                                _O_RDONLY | _O_BINARY);
    if (*read_end < 0) {
        (void)CloseHandle(reading);
        (void)CloseHandle(*write_end);
        return 0;
    }
    return 1;
}

int
start_command(char *const *command, int is_read, command_run *run)
{
    static char line[command_line_size];
    run->output = no_input_file;
    run->errors = no_input_file;
    if (!make_command_line(command, line))
        return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE ends[2] = {nullptr, nullptr};
    if (is_read) {
        if (!make_pipe(&ends[0], &run->output) ||
            !make_pipe(&ends[1], &run->errors))
            return 0;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = ends[0];
        startup.hStdError = ends[1];
    }
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, 0,
                                  nullptr, nullptr, &startup, &process);
    for (HANDLE end : ends) {
        if (end != nullptr)
            (void)CloseHandle(end);
    }
    if (!started)
        return 0;
    (void)CloseHandle(process.hThread);
    run->process = reinterpret_cast<std::intptr_t>(process.hProcess);
    return 1;
}

// Answers whether the pipe has bytes to read or has ended.
static int
is_ready(input_file file)
{
    DWORD available = 0;
    HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    return !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) ||
           available != 0;
}

// Anonymous pipes cannot be waited for together: they are looked at in
// turn.
std::size_t
wait_for_input(const input_file *files, std::size_t n)
{
    for (;;) {
        for (std::size_t i = 0; i < n && i < max_waited_inputs; ++i) {
            if (files[i] != no_input_file && is_ready(files[i]))
                return i;
        }
        Sleep(pipe_poll_ms);
    }
}

int
wait_for_command(const command_run *run)
{
    HANDLE process = reinterpret_cast<HANDLE>(run->process);
    DWORD status = command_not_started;
    if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &status))
        status = command_not_started;
    (void)CloseHandle(process);
    return static_cast<int>(status);
}
