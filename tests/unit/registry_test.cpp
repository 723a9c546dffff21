#include "expand/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{

// The registry lives for the whole process, so every test uses names of its
// own, and capacity tests run in a fresh child process.

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

std::string
capacity_name(std::size_t i)
{
    return "registry-capacity/" + std::to_string(i);
}

// Fills the registry, exiting with a status that names what went wrong.
void
fill_registry()
{
    for (std::size_t i = 0; i < max_include_files; ++i) {
        if (lookfor_include_file(capacity_name(i).c_str()) != 0)
            std::exit(2);
    }
    // Every name must be found again, wherever its probe run ended.
    for (std::size_t i = 0; i < max_include_files; ++i) {
        if (lookfor_include_file(capacity_name(i).c_str()) != 1)
            std::exit(3);
    }
}

TEST(lookfor_include_file, holds_the_full_number_of_names)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fill_registry();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(lookfor_include_file, ends_the_run_on_one_name_too_many)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            fill_registry();
            (void)lookfor_include_file("registry-capacity/one-too-many");
            std::exit(0);
        },
        testing::ExitedWithCode(1), "");
}

} // namespace
