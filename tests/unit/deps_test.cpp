#include "deps/deps.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// GNU make 4.3 and ninja 1.11 read each quoted name back exactly, as a
// prerequisite and as an empty rule's target; they misread the refused ones
// however written (tests/rule-names tries every such byte with both).
struct quote_row {
    const char *name;
    const char *quoted; // nullptr: make or ninja cannot name the file
};

const quote_row quote_rows[] = {
    {"plain.inc", "plain.inc"},
    {"sub/dir/x.inc", "sub/dir/x.inc"},
    {"my defs.inc", "my\\ defs.inc"},
    {" lead.inc", "\\ lead.inc"},
    {"a#b.inc", "a\\#b.inc"},
    {"cost$.inc", "cost$$.inc"},
    {"a:b.inc", "a\\:b.inc"},
    {"a: b.inc", "a\\:\\ b.inc"},
    {"back\\slash.inc", "back\\slash.inc"},
    {"two\\\\back.inc", "two\\\\back.inc"},
    {"close]1.inc", "close]1.inc"},
    {"x~y.inc", "x~y.inc"},
    {"a@b!{c},d+e-f.inc", "a@b!{c},d+e-f.inc"},
    {"na\xc3\xafve.inc", "na\xc3\xafve.inc"},
    {".hidden.inc", ".hidden.inc"},
    {"./x.inc", "./x.inc"},
    {"", nullptr},
    {"a;b.inc", nullptr},
    {"a=b.inc", nullptr},
    {"a%b.inc", nullptr},
    {"a|b.inc", nullptr},
    {"lib(member).inc", nullptr},
    {"star*.inc", nullptr},
    {"q?.inc", nullptr},
    {"br[1.inc", nullptr},
    {"and&.inc", nullptr},
    {"a'b.inc", nullptr},
    {"a\"b.inc", nullptr},
    {"a<b>.inc", nullptr},
    {"a^b.inc", nullptr},
    {"a`b.inc", nullptr},
    {"tab\there.inc", nullptr},
    {"line\nfeed.inc", nullptr},
    {"del\x7f.inc", nullptr},
    {"~home.inc", nullptr},
    {"trailing\\", nullptr},
    {"back\\ blank.inc", nullptr},
    {"back\\\\#hash.inc", nullptr},
    {"back\\:colon.inc", nullptr},
    {"back\\$.inc", nullptr},
    {"ends in a blank ", nullptr},
    {"ends in a colon:", nullptr},
    {".IGNORE", nullptr},
    {"./.SILENT", nullptr},
    {".POSIX", nullptr},
    {".s", nullptr},
    {".c.o", nullptr},
};

TEST(quote_make_name, escapes_what_make_reads_and_refuses_what_it_misreads)
{
    for (const quote_row &row : quote_rows) {
        char buf[quoted_name_size];
        std::size_t n = quote_make_name(row.name, buf, sizeof buf);
        const char *why = why_make_cannot_name(row.name);
        if (row.quoted == nullptr) {
            EXPECT_EQ(n, 0u) << row.name;
            EXPECT_NE(why, nullptr) << row.name;
            continue;
        }
        EXPECT_EQ(why, nullptr) << row.name << ": " << why;
        EXPECT_EQ(std::string(buf, n), row.quoted) << row.name;
        EXPECT_EQ(buf[n], '\0');
    }
}

TEST(quote_make_name, refuses_a_name_that_does_not_fit)
{
    // Twenty bytes that each take two, and the terminator.
    const std::string name(20, '#');
    char short_buf[40];
    EXPECT_EQ(quote_make_name(name.c_str(), short_buf, sizeof short_buf), 0u);
    char buf[41];
    EXPECT_EQ(quote_make_name(name.c_str(), buf, sizeof buf), 40u);
}

} // namespace
