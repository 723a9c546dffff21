#include "expand/reader_testing.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

struct measure_row {
    std::string text;
    int at_eof;
    std::size_t length;
};

const measure_row measure_rows[] = {
    {"abc\ndef\n", 0, 4},
    {"\n", 0, 1},
    {"abc", 0, 0},
    {"abc", 1, 3},
    {"", 0, 0},
    {"", 1, 0},
    {std::string("a\0b\nc", 5), 0, 4},
    {std::string(piece_size - 1, 'x') + "\n", 0, piece_size},
    {std::string(piece_size, 'x') + "\n", 0, piece_size},
    {std::string(piece_size - 1, 'x'), 0, 0},
    {std::string(piece_size - 1, 'x'), 1, piece_size - 1},
    {std::string(3 * piece_size, 'x'), 0, piece_size},
};

TEST(measure_line_piece, ends_pieces_at_a_line_feed_the_limit_or_the_end)
{
    for (const measure_row &row : measure_rows) {
        EXPECT_EQ(
            measure_line_piece(row.text.data(), row.text.size(), row.at_eof),
            row.length)
            << row.text.substr(0, 40) << " at_eof " << row.at_eof;
    }
}

// The folder of this test's regular files, removed once all tests have run:
// not by a static destructor, which a death test's child would run too.
class file_dir_environment : public testing::Environment
{
  public:
    void
    TearDown() override
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    const std::string &
    folder()
    {
        if (path.empty())
            path = make_temp_dir();
        return path;
    }

  private:
    std::string path;
};

file_dir_environment *const file_dir = static_cast<file_dir_environment *>(
    testing::AddGlobalTestEnvironment(new file_dir_environment));

// A file holding bytes: a regular file, or a pipe.
input_file
open_file(const std::string &bytes, bool regular_file)
{
    if (!regular_file)
        return open_pipe_holding(bytes);
    static int n_files = 0;
    std::string name = file_dir->folder() + "/file" + std::to_string(n_files++);
    std::ofstream(name, std::ios::binary) << bytes;
    file_identity identity;
    return open_input_file(name.c_str(), &identity);
}

// Reads pieces until n bytes have been handed on or the input ends.
std::string
read_bytes(text_input *in, std::size_t n)
{
    std::string got;
    const char *piece;
    for (std::size_t length;
         got.size() < n && (length = next_line_piece(in, &piece)) != 0;
         consume_text(in, length))
        got.append(piece, length);
    return got;
}

// Reads all of bytes through next_line_piece, one piece at a time.
std::vector<std::string>
read_pieces(const std::string &bytes, bool regular_file)
{
    text_input in;
    start_text_input(&in, open_file(bytes, regular_file), "memory", 0);
    std::vector<std::string> pieces;
    const char *piece;
    for (std::size_t n; (n = next_line_piece(&in, &piece)) != 0;
         consume_text(&in, n))
        pieces.emplace_back(piece, n);
    close_text_input(&in);
    return pieces;
}

std::string
long_line(std::size_t n)
{
    std::string line;
    for (std::size_t i = 0; line.size() < n; ++i)
        line += static_cast<char>('a' + i % 26);
    return line;
}

const std::string reader_inputs[] = {
    "",
    "one line\n",
    "no final line feed",
    "\n\n\n",
    "crlf\r\nlines\r\n",
    std::string("nul\0inside\n\0\0\n", 15),
    long_line(piece_size - 1) + "\n" + long_line(piece_size) + "\n",
    long_line(piece_size + 1) + "\n",
    long_line(5000) + "\n" + long_line(5000),
    long_line(stream_read_size - 1) + "\n" + long_line(stream_read_size) +
        "\nend\n",
    std::string(3 * stream_read_size, '\n'),
    long_line(file_read_size - 2) + "\n" + long_line(file_read_size + 7) + "\n",
};

TEST(next_line_piece, hands_on_every_byte_in_pieces_of_at_most_the_limit)
{
    for (const std::string &input : reader_inputs) {
        for (bool regular_file : {false, true}) {
            std::vector<std::string> pieces = read_pieces(input, regular_file);
            std::string joined;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                const std::string &piece = pieces[i];
                ASSERT_FALSE(piece.empty());
                ASSERT_LE(piece.size(), piece_size);
                std::size_t line_feed = piece.find('\n');
                EXPECT_TRUE(line_feed == std::string::npos ||
                            line_feed == piece.size() - 1);
                bool last = i + 1 == pieces.size();
                EXPECT_TRUE(piece.back() == '\n' ||
                            piece.size() == piece_size || last)
                    << "piece " << i << " ends early";
                joined += piece;
            }
            EXPECT_EQ(joined, input) << "from a regular file: " << regular_file;
        }
    }
}

TEST(next_line_piece, splits_a_long_line_at_the_limit)
{
    std::string line = long_line(2 * piece_size + 5) + "\n";
    std::vector<std::string> pieces = read_pieces(line, false);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].size(), piece_size);
    EXPECT_EQ(pieces[1].size(), piece_size);
    EXPECT_EQ(pieces[2], line.substr(2 * piece_size));
}

TEST(open_text_input, ends_the_run_on_a_directory)
{
    // Some platforms refuse to open a directory, others to read it: the run
    // ends either way.
    EXPECT_EXIT(
        {
            text_input in;
            open_text_input(&in, ".", 0);
            const char *piece;
            (void)next_line_piece(&in, &piece);
            std::exit(0);
        },
        testing::ExitedWithCode(1), "");
}

TEST(lend_window, keeps_every_unread_byte_through_a_nested_file)
{
    // A short file keeps its unread bytes; a long one lets go of them and
    // reads them again.
    const std::string short_file = long_line(3000) + "\n#x\n" +
                                   long_line(9000) + "\n" +
                                   std::string(20, '\n') + "end";
    const std::string long_file =
        long_line(3000) + "\n" + long_line(kept_bytes_budget + 9000) + "\nend";
    const std::string inner = long_line(700000) + "\ninner\n";
    for (const std::string &outer : {short_file, long_file}) {
        for (bool outer_regular : {false, true}) {
            for (std::size_t lend_at : {1u, 3001u, 3004u, 12010u}) {
                text_input in;
                start_text_input(&in, open_file(outer, outer_regular), "outer",
                                 0);
                std::string got = read_bytes(&in, lend_at);
                lend_window(&in);
                for (bool inner_regular : {false, true}) {
                    text_input nested;
                    start_text_input(&nested, open_file(inner, inner_regular),
                                     "inner", 0);
                    EXPECT_EQ(read_bytes(&nested, inner.size()), inner);
                    close_text_input(&nested);
                }
                got += read_bytes(&in, outer.size());
                close_text_input(&in);
                EXPECT_EQ(got, outer)
                    << "regular " << outer_regular << " lent at " << lend_at
                    << " of " << outer.size();
            }
        }
    }
}

TEST(lend_window, holds_a_pipe_at_every_level_of_the_deepest_nesting)
{
    // The top file and one file per registry slot: each keeps what it has
    // read while the files nested in it are read.
    constexpr std::size_t levels = 1025;
    if (!allow_open_files(levels + 16))
        GTEST_SKIP() << "cannot have " << levels << " pipes open";
    std::vector<std::string> texts;
    std::vector<text_input> inputs(levels);
    for (std::size_t i = 0; i < levels; ++i) {
        texts.push_back(std::to_string(i) + "\n" + long_line(3000 + i) + "\n");
        start_text_input(&inputs[i], open_file(texts[i], false), "level", 0);
        ASSERT_EQ(read_bytes(&inputs[i], 1), std::to_string(i) + "\n");
        lend_window(&inputs[i]);
    }
    for (std::size_t i = levels; i-- > 0;) {
        std::string rest = read_bytes(&inputs[i], texts[i].size());
        close_text_input(&inputs[i]);
        ASSERT_EQ(rest, texts[i].substr(texts[i].find('\n') + 1)) << i;
    }
}

} // namespace
