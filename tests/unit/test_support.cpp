#include "test_support.h"

#include <filesystem>
#include <random>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace
{

#ifdef _WIN32
int
make_pipe(int ends[2])
{
    return _pipe(ends, 65536, _O_BINARY);
}

int
write_some(int file, const char *bytes, std::size_t n)
{
    return _write(file, bytes, static_cast<unsigned>(n));
}
#else
int
make_pipe(int ends[2])
{
    return pipe(ends);
}

int
write_some(int file, const char *bytes, std::size_t n)
{
    return static_cast<int>(write(file, bytes, n));
}
#endif

} // namespace

std::string
make_temp_dir()
{
    // Test processes run side by side: each folder gets a random name, and
    // one that exists already is never taken over.
    static std::random_device random;
    for (;;) {
        std::filesystem::path dir =
            std::filesystem::temp_directory_path() /
            ("textweld-test-" + std::to_string(random()) + "-" +
             std::to_string(random()));
        if (std::filesystem::create_directory(dir))
            return dir.string();
    }
}

input_file
open_pipe_holding(const std::string &bytes)
{
    int ends[2];
    if (make_pipe(ends) != 0)
        return no_input_file;
    int write_end = ends[1];
    // A pipe holds only so much: a thread writes while the test reads.
    std::thread([bytes, write_end] {
        std::size_t done = 0;
        while (done < bytes.size()) {
            int n =
                write_some(write_end, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        (void)close_file(write_end);
    }).detach();
    return ends[0];
}

bool
allow_open_files(std::size_t n)
{
#ifdef _WIN32
    // The C runtime's own table holds 2048 descriptors.
    return n <= 2000;
#else
    rlimit open_files;
    if (getrlimit(RLIMIT_NOFILE, &open_files) != 0 || open_files.rlim_max < n)
        return false;
    open_files.rlim_cur = open_files.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &open_files) == 0;
#endif
}

const char *
null_device_name()
{
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/null";
#endif
}
