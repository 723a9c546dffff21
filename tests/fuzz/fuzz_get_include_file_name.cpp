// Checks the recogniser against a plain restatement of the directive format
// on any byte string.
#include "expand/expand.h"
#include "fuzz/fatal_error.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace
{

enum class verdict { text, directive, syntax_error };

// The directive format, restated: returns the verdict and the name.
verdict
expected_verdict(const std::string &piece, std::string *name)
{
    if (piece.compare(0, 8, "#include") != 0)
        return verdict::text;
    std::string judged = piece.substr(0, piece.find('\0'));
    std::size_t open =
        judged.size() > 9 ? judged.find('"', 9) : std::string::npos;
    if (open == std::string::npos)
        return verdict::syntax_error;
    std::size_t close = judged.find('"', open + 1);
    if (close == std::string::npos || close - open - 1 >= name_size)
        return verdict::syntax_error;
    *name = judged.substr(open + 1, close - open - 1);
    return verdict::directive;
}

} // namespace

extern "C" int
LLVMFuzzerInitialize(int *, char ***)
{
    divert_failures(throw_fatal_error, nullptr);
    return 0;
}

extern "C" int
LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // An exact-size copy, so that any read past the piece is reported.
    std::unique_ptr<char[]> piece(new char[size]);
    std::memcpy(piece.get(), data, size);
    std::string want_name;
    verdict want = expected_verdict(std::string(piece.get(), size), &want_name);

    char name[name_size];
    std::memset(name, 'u', sizeof name);
    verdict got;
    try {
        got = get_include_file_name(piece.get(), size, name, sizeof name)
                  ? verdict::directive
                  : verdict::text;
    } catch (const fatal_error &) {
        got = verdict::syntax_error;
    }
    if (got != want)
        std::abort();
    if (got == verdict::directive && std::string(name) != want_name)
        std::abort();
    if (got == verdict::text && name[0] != 'u')
        std::abort();
    return 0;
}
