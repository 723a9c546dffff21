#include "expand/expand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

struct directive_row {
    std::string piece;
    int is_directive;
    std::string name;
};

// Pieces the recogniser accepts or passes over as ordinary text.
const directive_row directive_rows[] = {
    {"#include \"x.inc\"\n", 1, "x.inc"},
    {"#include \"x.inc\"", 1, "x.inc"},
    {"#include \"x.inc\" ; trailing comment\n", 1, "x.inc"},
    {"#include  \"two blanks.inc\"\n", 1, "two blanks.inc"},
    {"#include\t\"tab.inc\"\n", 1, "tab.inc"},
    {"#include anything \"x\"\n", 1, "x"},
    {"#includes \"x\"\n", 1, "x"},
    {"#include \"\"\n", 1, ""},
    {"#include \"a\" \"b\"\n", 1, "a"},
    {"#include \"x.inc\"\r\n", 1, "x.inc"},
    {"#include \"sub/dir/../x.inc\"\n", 1, "sub/dir/../x.inc"},
    {"#include \"x'y\"\n", 1, "x'y"},
    {std::string("#include \"x\"\0\"y\"", 16), 1, "x"},
    {" #include \"x.inc\"\n", 0, ""},
    {"\t#include \"x.inc\"\n", 0, ""},
    {"#INCLUDE \"x.inc\"\n", 0, ""},
    {"#Include \"x.inc\"\n", 0, ""},
    {"#includ", 0, ""},
    {"#inc\n", 0, ""},
    {"", 0, ""},
    {"; #include \"x.inc\"\n", 0, ""},
    {std::string("#inc\0lude \"x\"\n", 14), 0, ""},
};

TEST(get_include_file_name, follows_the_directive_format)
{
    for (const directive_row &row : directive_rows) {
        char name[name_size] = "untouched";
        int got = get_include_file_name(row.piece.data(), row.piece.size(),
                                        name, sizeof name);
        EXPECT_EQ(got, row.is_directive) << row.piece;
        EXPECT_EQ(std::string(name), row.is_directive ? row.name : "untouched")
            << row.piece;
    }
}

// Pieces that begin with the keyword but break the format end the run.
const std::string malformed_rows[] = {
    "#include <x.inc>\n",
    "#include\"x.inc\"\n",
    "#include\n",
    "#include",
    "#include ",
    "#include \"x.inc\n",
    "#include \"x.inc",
    "#include x.inc\n",
    std::string("#include \0\"x\"\n", 13),
    std::string("#include \"x\0\"\n", 13),
};

TEST(get_include_file_name, ends_the_run_on_a_malformed_directive)
{
    for (const std::string &piece : malformed_rows) {
        char name[name_size];
        EXPECT_EXIT(get_include_file_name(piece.data(), piece.size(), name,
                                          sizeof name),
                    testing::ExitedWithCode(1), "")
            << piece;
    }
}

TEST(get_include_file_name, ends_the_run_on_a_name_its_buffer_cannot_hold)
{
    const std::string piece = "#include \"abcd\"\n";
    char name[5];
    EXPECT_EQ(
        get_include_file_name(piece.data(), piece.size(), name, sizeof name),
        1);
    EXPECT_EXIT(get_include_file_name(piece.data(), piece.size(), name, 4),
                testing::ExitedWithCode(1), "");
}

TEST(get_include_file_name, takes_the_longest_name_a_piece_can_hold)
{
    std::string name_bytes(piece_size - 11, 'n');
    std::string piece = "#include \"" + name_bytes + "\"";
    ASSERT_EQ(piece.size(), piece_size);
    char name[name_size];
    EXPECT_EQ(
        get_include_file_name(piece.data(), piece.size(), name, sizeof name),
        1);
    EXPECT_EQ(std::string(name), name_bytes);
}

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

// Reads all of bytes through next_line_piece, one piece at a time, from a
// memory stream (the input's own buffer) or a regular file (the shared
// window).
std::vector<std::string>
read_pieces(const std::string &bytes, bool regular_file)
{
    std::string copy = bytes;
    std::FILE *stream = nullptr;
    if (regular_file) {
        stream = std::tmpfile();
        std::fwrite(copy.data(), 1, copy.size(), stream);
        std::rewind(stream);
    } else {
        stream = fmemopen(copy.empty() ? nullptr : &copy[0], copy.size(), "r");
    }
    text_input in;
    start_text_input(&in, stream, "memory");
    std::vector<std::string> pieces;
    for (std::size_t n; (n = next_line_piece(&in)) != 0; in.begin += n)
        pieces.emplace_back(in.buf + in.begin, n);
    std::fclose(stream);
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
    long_line(input_size - 1) + "\n" + long_line(input_size) + "\nend\n",
    std::string(3 * input_size, '\n'),
    long_line(window_size - 2) + "\n" + long_line(window_size + 7) + "\n",
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

TEST(next_line_piece, ends_the_run_when_reading_fails)
{
    std::FILE *directory = std::fopen(".", "r");
    ASSERT_NE(directory, nullptr);
    text_input in;
    start_text_input(&in, directory, ".");
    EXPECT_EXIT(next_line_piece(&in), testing::ExitedWithCode(1), "");
    std::fclose(directory);
}

class output_file_test : public testing::Test
{
  protected:
    void
    SetUp() override
    {
        char pattern[] = "/tmp/textweld-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        output = dir + "/out";
        std::FILE *f = std::fopen(output.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        ASSERT_EQ(stat(output.c_str(), &output_status), 0);
    }
    void
    TearDown() override
    {
        (void)std::system(("rm -rf " + dir).c_str());
    }
    std::string dir;
    std::string output;
    struct stat output_status {
    };
};

TEST_F(output_file_test, refuses_every_name_of_the_output_file)
{
    const std::string other = dir + "/other";
    std::FILE *f = std::fopen(other.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(link(output.c_str(), (dir + "/hard").c_str()), 0);
    ASSERT_EQ(symlink("out", (dir + "/soft").c_str()), 0);

    for (const std::string &name :
         {output, dir + "/./out", dir + "/hard", dir + "/soft"}) {
        struct stat input;
        ASSERT_EQ(stat(name.c_str(), &input), 0);
        EXPECT_EXIT(refuse_output_file(name.c_str(), &input, &output_status),
                    testing::ExitedWithCode(1), "")
            << name;
    }
    for (const std::string &name : {other, dir}) {
        struct stat input;
        ASSERT_EQ(stat(name.c_str(), &input), 0);
        refuse_output_file(name.c_str(), &input, &output_status);
    }
}

TEST_F(output_file_test, lets_a_device_output_be_read)
{
    struct stat null_status;
    ASSERT_EQ(stat("/dev/null", &null_status), 0);
    refuse_output_file("/dev/null", &null_status, &null_status);
}

} // namespace
