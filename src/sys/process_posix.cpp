#include "sys/process.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

// Closes both ends of each of the n pipes that are open.
static void
close_pipes(int (*ends)[2], std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        for (int end : ends[i]) {
            if (end >= 0)
                (void)close(end);
        }
    }
}

// Answers whether the n pipes could be made, none of whose ends a command
// inherits as they are.
static int
make_pipes(int (*ends)[2], std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (pipe(ends[i]) != 0)
            return 0;
        for (int end : ends[i])
            (void)fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    return 1;
}

// In the child: the command's output and errors go to the pipes' write
// ends, if any, then the command replaces the child; if it cannot, why not
// goes back through report, and the child ends.
[[noreturn]] static void
run_child(char *const *command, int (*ends)[2], int report)
{
    if (ends[0][1] >= 0 && (dup2(ends[0][1], 1) < 0 || dup2(ends[1][1], 2) < 0))
        _exit(command_not_started);
    execvp(command[0], command);
    int why = errno;
    // The parent sees a closed pipe either way; the byte count tells.
    ssize_t written = write(report, &why, sizeof why);
    (void)written;
    _exit(command_not_started);
}

// Answers whether the child's exec succeeded: its report pipe closed on
// exec with nothing written.
static int
exec_succeeded(int report)
{
    int why;
    ssize_t got;
    do
        got = read(report, &why, sizeof why);
    while (got < 0 && errno == EINTR);
    return got == 0;
}

int
start_command(char *const *command, int is_read, command_run *run)
{
    int ends[2][2] = {{-1, -1}, {-1, -1}};
    int report[2] = {-1, -1};
    run->output = no_input_file;
    run->errors = no_input_file;
    pid_t process = -1;
    if ((!is_read || make_pipes(ends, 2)) && make_pipes(&report, 1))
        process = fork();
    if (process == 0)
        run_child(command, ends, report[1]);
    (void)close(report[1]);
    int started = process > 0 && exec_succeeded(report[0]);
    (void)close(report[0]);
    if (process > 0 && !started)
        (void)waitpid(process, nullptr, 0);
    run->process = process;
    if (!started || !is_read) {
        close_pipes(ends, 2);
        return started;
    }
    (void)close(ends[0][1]);
    (void)close(ends[1][1]);
    run->output = ends[0][0];
    run->errors = ends[1][0];
    return 1;
}

std::size_t
wait_for_input(const input_file *files, std::size_t n)
{
    for (;;) {
        struct pollfd waited[max_waited_inputs];
        std::size_t n_waited = n < max_waited_inputs ? n : max_waited_inputs;
        // A file of no_input_file, -1, is passed over.
        for (std::size_t i = 0; i < n_waited; ++i)
            waited[i] = {files[i], POLLIN, 0};
        if (poll(waited, static_cast<nfds_t>(n_waited), -1) < 0 &&
            errno != EINTR)
            return 0;
        for (std::size_t i = 0; i < n_waited; ++i) {
            if (files[i] != no_input_file && waited[i].revents != 0)
                return i;
        }
    }
}

int
wait_for_command(const command_run *run)
{
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(static_cast<pid_t>(run->process), &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return command_not_started;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
