// Reads any byte stream in pieces, as a stream read in small parts (a memory
// stream) and as a regular file read in large ones, and checks that
// the pieces are the input, byte for byte, cut only where they may be.
#include "expand/reader.h"

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
check_pieces(std::FILE *stream, const std::string &input)
{
    text_input in;
    start_text_input(&in, stream, "fuzz");
    std::string joined;
    for (std::size_t n; (n = next_line_piece(&in)) != 0; in.begin += n) {
        const char *piece = in.buf + in.begin;
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
    if (size > 0) {
        std::string copy = input;
        check_pieces(fmemopen(&copy[0], size, "r"), input);
    }
    int fd = memfd_create("fuzz", 0);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size) ||
        lseek(fd, 0, SEEK_SET) != 0)
        std::abort();
    check_pieces(fdopen(fd, "r"), input);
    return 0;
}
