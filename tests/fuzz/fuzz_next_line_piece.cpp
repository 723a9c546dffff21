// Reads any bytes in pieces, from a pipe read in small parts and from a
// regular file read in large ones, and checks that
// the pieces are the input, byte for byte, cut only where they may be.
#include "expand/reader_testing.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

void
check_pieces(int file, const std::string &input)
{
    text_input in;
    start_text_input(&in, file, "fuzz", 1);
    std::string joined;
    const char *piece;
    for (std::size_t n; (n = next_line_piece(&in, &piece)) != 0;
         consume_text(&in, n)) {
        if (n > piece_size || in.begin + n > in.end)
            std::abort();
        const void *line_feed = std::memchr(piece, '\n', n);
        if (line_feed != nullptr && line_feed != piece + n - 1)
            std::abort();
        joined.append(piece, n);
        bool cut_early = line_feed == nullptr && n < piece_size;
        if (cut_early && joined.size() != input.size())
            std::abort();
    }
    if (joined != input)
        std::abort();
    close_text_input(&in);
}

} // namespace

extern "C" int
LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    // A pipe holds more than the longest input run.
    int ends[2];
    if (pipe(ends) != 0 ||
        write(ends[1], data, size) != static_cast<ssize_t>(size))
        std::abort();
    close(ends[1]);
    check_pieces(ends[0], input);
    int fd = memfd_create("fuzz", 0);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size))
        std::abort();
    check_pieces(fd, input);
    return 0;
}
