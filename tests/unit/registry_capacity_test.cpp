// The registry's capacity, in an executable of its own: no other test here
// takes names in, so the child each death test runs starts from an empty
// registry, whether it is forked (which works under qemu-user as well) or,
// on Windows, started afresh.
#include "expand/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{

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
    EXPECT_EXIT(
        {
            fill_registry();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(lookfor_include_file, ends_the_run_on_one_name_too_many)
{
    EXPECT_EXIT(
        {
            fill_registry();
            (void)lookfor_include_file("registry-capacity/one-too-many");
            std::exit(0);
        },
        testing::ExitedWithCode(1), "");
}

} // namespace
