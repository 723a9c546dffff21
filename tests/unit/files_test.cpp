#include "sys/files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace
{

namespace fs = std::filesystem;

class files_test : public testing::Test
{
  protected:
    void
    SetUp() override
    {
        dir = make_temp_dir();
        write("main.asm", "main\n");
        write("other.asm", "main\n");
        fs::create_directory(dir + "/sub");
    }
    void
    TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    void
    write(const std::string &name, const std::string &bytes)
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    }
    file_identity
    identify(const std::string &name)
    {
        file_identity identity{};
        EXPECT_EQ(identify_file_name((dir + "/" + name).c_str(), &identity), 1)
            << name;
        return identity;
    }
    std::string dir;
};

TEST_F(files_test, knows_a_file_by_every_name_and_link)
{
    fs::create_hard_link(dir + "/main.asm", dir + "/hard.asm");
    const file_identity main = identify("main.asm");
    EXPECT_TRUE(main.is_regular);
    EXPECT_EQ(main.size, 5u);
    for (const char *name :
         {"main.asm", "./main.asm", "sub/../main.asm", "hard.asm"}) {
        file_identity same = identify(name);
        EXPECT_TRUE(is_same_regular_file(&same, &main)) << name;
    }
    std::error_code no_symlinks;
    fs::create_symlink("main.asm", dir + "/soft.asm", no_symlinks);
    if (!no_symlinks) {
        file_identity soft = identify("soft.asm");
        EXPECT_TRUE(is_same_regular_file(&soft, &main));
    }
    file_identity other = identify("other.asm");
    EXPECT_FALSE(is_same_regular_file(&other, &main));
    file_identity sub = identify("sub");
    EXPECT_FALSE(sub.is_regular);
    EXPECT_TRUE(sub.is_directory);
    EXPECT_FALSE(main.is_directory);
    EXPECT_FALSE(is_same_regular_file(&sub, &sub));
    file_identity missing;
    EXPECT_EQ(identify_file_name((dir + "/missing").c_str(), &missing), 0);
}

TEST_F(files_test, knows_an_open_file_as_its_name)
{
    file_identity opened{};
    input_file file = open_input_file((dir + "/main.asm").c_str(), &opened);
    ASSERT_NE(file, no_input_file);
    (void)close_file(file);
    const file_identity main = identify("main.asm");
    EXPECT_TRUE(is_same_regular_file(&opened, &main));
    file_identity null_device{};
    EXPECT_EQ(identify_file_name(null_device_name(), &null_device), 1);
    EXPECT_FALSE(null_device.is_regular);
}

TEST(is_same_regular_file, takes_every_part_of_the_identity)
{
    // volume, index, index_high, size, is_regular, is_directory
    const file_identity output = {7, 42, 5, 100, 1, 0};
    const struct {
        const char *what;
        file_identity other;
        int same;
    } rows[] = {
        {"the same file", output, 1},
        {"another size, as it grows", {7, 42, 5, 900, 1, 0}, 1},
        {"another index", {7, 43, 5, 100, 1, 0}, 0},
        {"another index above 64 bits", {7, 42, 6, 100, 1, 0}, 0},
        {"another volume", {8, 42, 5, 100, 1, 0}, 0},
        {"not regular, as a device", {7, 42, 5, 100, 0, 0}, 0},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(is_same_regular_file(&row.other, &output), row.same)
            << row.what;
        EXPECT_EQ(is_same_regular_file(&output, &row.other), row.same)
            << row.what;
    }
}

TEST_F(files_test, reads_past_four_gibibytes)
{
    // A sparse file: only the marker's block is stored.
    const std::uint64_t at = (std::uint64_t{4} << 30) + 3;
    const std::string name = dir + "/big.asm";
    {
        std::ofstream big(name, std::ios::binary);
        big.seekp(static_cast<std::streamoff>(at));
        big << "marker";
    }
    file_identity identity{};
    input_file file = open_input_file(name.c_str(), &identity);
    ASSERT_NE(file, no_input_file);
    EXPECT_EQ(identity.size, at + 6);
    char buf[16] = {};
    EXPECT_EQ(read_file_at(file, at - 2, buf, sizeof buf), 8u);
    EXPECT_EQ(std::string(buf, 8), std::string("\0\0marker", 8));
    (void)close_file(file);
}

} // namespace
