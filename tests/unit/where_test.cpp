#include "where/where.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{

// Each message line with its references marked: [the name], <the number>.
// The output is flat.asm, of 40 lines.
struct reference_row {
    const char *line;
    const char *marked;
};

const reference_row reference_rows[] = {
    // The shapes that start with the name.
    {"flat.asm:3: error", "[flat.asm]:<3>: error"},
    {"flat.asm:4:9: error", "[flat.asm]:<4>:9: error"},
    {"flat.asm:line 4: 1001:Syntax error",
     "[flat.asm]:line <4>: 1001:Syntax error"},
    {"flat.asm(3) : Error", "[flat.asm](<3>) : Error"},
    {"flat.asm (3): error", "[flat.asm] (<3>): error"},
    {"flat.asm [3]:", "[flat.asm] [<3>]:"},
    {"File flat.asm, line 3 (Zone <untitled>)",
     "File [flat.asm], line <3> (Zone <untitled>)"},
    {"flat.asm line 0003: x", "[flat.asm] line <0003>: x"},
    {"[Macro: flat.asm: 4:] x", "[Macro: [flat.asm]: <4>:] x"},
    {"flat.asm:3:Error[181] x", "[flat.asm]:<3>:Error[181] x"},
    // The shapes that start with the number.
    {"ERROR on line 3 of file flat.asm",
     "ERROR on line <3> of file [flat.asm]"},
    {"line 3 of flat.asm", "line <3> of [flat.asm]"},
    {"line 3 in flat.asm", "line <3> in [flat.asm]"},
    {"line 3 in file flat.asm.", "line <3> in file [flat.asm]."},
    {"line 3 of file.asm", "line 3 of file.asm"},
    {"line 3 of flat.asm.bak", "line 3 of flat.asm.bak"},
    // Quotes around the name stay.
    {"in line 3 of \"flat.asm\": bad", "in line <3> of \"[flat.asm]\": bad"},
    {"at file 'flat.asm' line 3: x", "at file '[flat.asm]' line <3>: x"},
    {"'flat.asm':3", "'[flat.asm]':<3>"},
    {"\"flat.asm':3", "\"flat.asm':3"},
    // Colour sequences around, before and inside.
    {"\x1b[1;31mflat.asm:3: error", "\x1b[1;31m[flat.asm]:<3>: error"},
    {"\x1b[0m\x1b[1;31mflat.asm:7: w", "\x1b[0m\x1b[1;31m[flat.asm]:<7>: w"},
    {"\x1b[01m\x1b[Kflat.asm:3:5:\x1b[m\x1b[K error",
     "\x1b[01m\x1b[K[flat.asm]:<3>:5:\x1b[m\x1b[K error"},
    {"\x1b[1mflat.asm\x1b[0m:3: x", "\x1b[1m[flat.asm]\x1b[0m:<3>: x"},
    {"\x1b[1mxflat.asm:3", "\x1b[1mxflat.asm:3"},
    // Colour sequences inside, between the name, the separator and the
    // number, stay where they are.
    {"\x1b[1mflat.asm\x1b[0m:\x1b[1m3\x1b[0m: e",
     "\x1b[1m[flat.asm]\x1b[0m:\x1b[1m<3>\x1b[0m: e"},
    {"flat.asm \x1b[2m(\x1b[0m3): e", "[flat.asm] \x1b[2m(\x1b[0m<3>): e"},
    {"line \x1b[1m3\x1b[0m of \x1b[1m\"flat.asm\"\x1b[0m.",
     "line \x1b[1m<3>\x1b[0m of \x1b[1m\"[flat.asm]\"\x1b[0m."},
    {"fl\x1b[0mat.asm:3", "fl\x1b[0mat.asm:3"},
    {"flat.asm:\x1b[1mx3", "flat.asm:\x1b[1mx3"},
    // Two in one line, and lines left as they are.
    {"flat.asm:2: flat.asm(3)", "[flat.asm]:<2>: [flat.asm](<3>)"},
    {"myflat.asm:3: x", "myflat.asm:3: x"},
    {"flat.asm.bak:3: x", "flat.asm.bak:3: x"},
    {"lib/flat.asm:3: x", "lib/flat.asm:3: x"},
    {"C:\\src\\flat.asm:3: x", "C:\\src\\flat.asm:3: x"},
    {"flat.asm:0: x", "flat.asm:0: x"},
    {"flat.asm:41: past the end", "flat.asm:41: past the end"},
    {"flat.asm:40: the last", "[flat.asm]:<40>: the last"},
    {"flat.asm:99999999999999999999999: x",
     "flat.asm:99999999999999999999999: x"},
    {"flat.asm: 3 errors", "flat.asm: 3 errors"},
    {"flat.asm(3", "flat.asm(3"},
    {"line 3 of flat.asmx", "line 3 of flat.asmx"},
    {"flat.asm", "flat.asm"},
    {"", ""},
};

// Answers the line with each reference the scan finds marked.
std::string
mark_references(const char *name, const std::string &line)
{
    reference_scan scan;
    start_reference_scan(&scan, name, 40, line.data(), line.size());
    std::vector<std::pair<std::size_t, const char *>> marks;
    reference found;
    while (next_reference(&scan, &found)) {
        marks.push_back({found.name_at, "["});
        marks.push_back({found.name_end, "]"});
        marks.push_back({found.number_at, "<"});
        marks.push_back({found.number_end, ">"});
    }
    // From the right, so that each place still counts from the start.
    std::stable_sort(
        marks.begin(), marks.end(),
        [](const auto &a, const auto &b) { return a.first > b.first; });
    std::string marked = line;
    for (const auto &mark : marks)
        marked.insert(mark.first, mark.second);
    return marked;
}

TEST(next_reference, finds_each_shape_and_nothing_else)
{
    for (const reference_row &row : reference_rows)
        EXPECT_EQ(mark_references("flat.asm", row.line), row.marked)
            << row.line;
}

TEST(next_reference, finds_names_that_overlap_themselves)
{
    EXPECT_EQ(mark_references("a a", "a a a:3 a a:4"), "a [a a]:<3> [a a]:<4>");
    EXPECT_EQ(mark_references("aab", "aaab:1 aab:2"), "aaab:1 [aab]:<2>");
}

TEST(next_reference, looks_at_most_one_message_line)
{
    std::string line(message_line_size - 5, 'x');
    line += " flat.asm:3";
    EXPECT_EQ(mark_references("flat.asm", line), line);
}

TEST(find_segment, answers_the_last_segment_that_starts_at_or_before)
{
    static line_map map;
    const map_segment segments[] = {{1, 1, "main.asm", 0},
                                    {2, 1, "io.inc", 0},
                                    {5, 3, "main.asm", 1},
                                    {7, 4, "main.asm", 0}};
    map.n_segments = sizeof segments / sizeof segments[0];
    for (std::size_t i = 0; i < map.n_segments; ++i)
        map.segments[i] = segments[i];
    const struct {
        std::uint64_t line;
        const char *file;
        std::uint64_t source_line;
    } rows[] = {{1, "main.asm", 1}, {2, "io.inc", 1},   {4, "io.inc", 3},
                {5, "main.asm", 3}, {6, "main.asm", 3}, {7, "main.asm", 4},
                {9, "main.asm", 6}};
    for (const auto &row : rows) {
        const map_segment *segment = find_segment(&map, row.line);
        EXPECT_STREQ(segment->file_name, row.file) << row.line;
        EXPECT_EQ(source_line_of(segment, row.line), row.source_line)
            << row.line;
    }
}

TEST(read_digits, counts_digits_and_holds_what_does_not_fit_at_the_top)
{
    const struct {
        const char *text;
        std::size_t n_digits;
        std::uint64_t value;
    } rows[] = {{"1", 1, 1},
                {"4711", 4, 4711},
                {"007", 3, 7},
                {"18446744073709551615", 20, UINT64_MAX},
                {"18446744073709551616", 20, UINT64_MAX},
                {"99999999999999999999999", 23, UINT64_MAX},
                {"0", 1, 0},
                {"", 0, 0},
                {"-3", 0, 0},
                {"3x", 1, 3},
                {" 3", 0, 0}};
    for (const auto &row : rows) {
        std::uint64_t value = 1;
        EXPECT_EQ(read_digits(row.text, std::strlen(row.text), &value),
                  row.n_digits)
            << row.text;
        EXPECT_EQ(value, row.value) << row.text;
    }
}

} // namespace
