#include "expand/expand.h"
#include "expand/reader.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
