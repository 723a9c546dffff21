// Whole runs on a small tree of files made from the input: it is cut at its
// first three 0xff bytes into the files a, b, c and d. A child process
// expands a into out as textweld would; the parent checks that the child
// ended with status 0 or 1, that no input changed, that no temporary file
// was left, and that a file without directives came out unchanged.
#include "expand/expand.h"
#include "expand/fatal.h"
#include "expand/writer.h"
#include "sys/files.h"
#include "sys/output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

const char *const file_names[] = {"a", "b", "c", "d"};

std::string
read_whole(const char *name)
{
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void
write_whole(const char *name, const std::string &bytes)
{
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool
has_directive_line(const std::string &text)
{
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 8, "#include") == 0)
            return true;
        std::size_t line_feed = text.find('\n', at);
        if (line_feed == std::string::npos)
            break;
        at = line_feed + 1;
    }
    return false;
}

// A fatal error ends the child at once, without the fuzzer's exit handlers,
// but with the output put in place as textweld's exit does.
__attribute__((format(printf, 2, 0))) void
exit_child(void *, const char *format, std::va_list args)
{
    (void)std::vprintf(format, args);
    (void)finish_output_file();
    (void)std::fflush(nullptr);
    _exit(1);
}

bool
holds_temporary_file()
{
    DIR *dir = opendir(".");
    if (dir == nullptr)
        std::abort();
    bool found = false;
    while (const dirent *entry = readdir(dir))
        found = found || std::strncmp(entry->d_name, ".textweld-", 10) == 0;
    (void)closedir(dir);
    return found;
}

// The output file, as textweld's own sink writes it.
void
open_file(void *, const char *name, file_identity *identity)
{
    if (!open_output_file(name, identity))
        fatal("error opening output file\n");
}

void
write_file(void *, const char *text, std::size_t n)
{
    if (!write_output_file(text, n))
        fatal("error writing output file\n");
}

void
drop_file(void *)
{
    abandon_output_file();
}

[[noreturn]] void
run_child()
{
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        _exit(3);
    divert_failures(exit_child, nullptr);
    const text_sink file = {open_file, write_file, drop_file, nullptr};
    run_expansion("a", "out", &file, nullptr);
    if (!finish_output_file())
        _exit(1);
    _exit(0);
}

} // namespace

extern "C" int
LLVMFuzzerInitialize(int *, char ***)
{
    char dir[] = "textweld-run-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0)
        std::abort();
    return 0;
}

extern "C" int
LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> files;
    for (std::size_t i = 0, at = 0; i < 4; ++i) {
        std::size_t cut = i < 3 ? input.find('\xff', at) : std::string::npos;
        files.push_back(input.substr(
            at, cut == std::string::npos ? std::string::npos : cut - at));
        if (cut == std::string::npos) {
            at = input.size();
            while (files.size() < 4)
                files.push_back("");
            break;
        }
        at = cut + 1;
    }
    for (std::size_t i = 0; i < 4; ++i)
        write_whole(file_names[i], files[i]);
    (void)unlink("out");

    pid_t child = fork();
    if (child < 0)
        std::abort();
    if (child == 0)
        run_child();
    int status = 0;
    pid_t waited;
    // libFuzzer's timeout alarm interrupts the wait.
    do
        waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited != child || !WIFEXITED(status))
        std::abort();
    int code = WEXITSTATUS(status);
    if (code != 0 && code != 1)
        std::abort();
    for (std::size_t i = 0; i < 4; ++i) {
        if (read_whole(file_names[i]) != files[i])
            std::abort();
    }
    if (holds_temporary_file())
        std::abort();
    if (code == 0 && !has_directive_line(files[0]) &&
        read_whole("out") != files[0])
        std::abort();
    return 0;
}
