#include "expand/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{

// The registry lives for the whole process, so every test uses names of its
// own; the capacity tests have their own executable.

struct lookup_row {
    const char *name;
    int seen_before;
};

const lookup_row lookup_rows[] = {
    {"registry-rows/a.inc", 0},
    {"registry-rows/a.inc", 1},
    {"registry-rows/A.inc", 0},
    {"registry-rows/./a.inc", 0},
    {"registry-rows/a.inc ", 0},
    {"registry-rows/b.inc", 0},
    {"registry-rows/a.inc", 1},
    {"registry-rows/b.inc", 1},
    {"", 0},
    {"", 1},
};

TEST(lookfor_include_file, answers_whether_a_name_was_taken_in)
{
    for (const lookup_row &row : lookup_rows)
        EXPECT_EQ(lookfor_include_file(row.name), row.seen_before)
            << '"' << row.name << '"';
}

TEST(lookfor_include_file, keeps_a_name_of_the_greatest_length)
{
    std::string name = "registry-long/" + std::string(slot_size - 15, 'x');
    ASSERT_EQ(name.size() + 1, slot_size);
    EXPECT_EQ(lookfor_include_file(name.c_str()), 0);
    EXPECT_EQ(lookfor_include_file(name.c_str()), 1);
    name.back() = 'y';
    EXPECT_EQ(lookfor_include_file(name.c_str()), 0);
}

} // namespace
