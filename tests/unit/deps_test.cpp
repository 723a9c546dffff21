#include "deps/deps.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// GNU make 4.3 was run on each quoted name, as a prerequisite and as the
// target of an empty rule; unnameable ones are misread however written.
struct quote_row {
    const char *name;
    const char *quoted; // nullptr: make cannot name the file
};

const quote_row quote_rows[] = {
    {"plain.inc", "plain.inc"},
    {"sub/dir/x.inc", "sub/dir/x.inc"},
    {"my defs.inc", "my\\ defs.inc"},
    {"a#b.inc", "a\\#b.inc"},
    {"cost$.inc", "cost$$.inc"},
    {"a:b.inc", "a\\:b.inc"},
    {"back\\slash.inc", "back\\slash.inc"},
    {"back\\ blank.inc", "back\\\\\\ blank.inc"},
    {"back\\#hash.inc", "back\\\\\\#hash.inc"},
    {"star*.inc", "star\\*.inc"},
    {"q?.inc", "q\\?.inc"},
    {"br[1].inc", "br\\[1\\].inc"},
    {"na\xc3\xafve.inc", "na\xc3\xafve.inc"},
    {"a'b\"c,d.inc", "a'b\"c,d.inc"},
    {"", nullptr},
    {"a;b.inc", nullptr},
    {"a=b.inc", nullptr},
    {"a%b.inc", nullptr},
    {"a|b.inc", nullptr},
    {"lib(member).inc", nullptr},
    {"tab\there.inc", nullptr},
    {"line\nfeed.inc", nullptr},
    {"~home.inc", nullptr},
    {"trailing\\", nullptr},
};

TEST(quote_make_name, escapes_what_make_reads_and_refuses_what_it_misreads)
{
    for (const quote_row &row : quote_rows) {
        char buf[quoted_name_size];
        std::size_t n = quote_make_name(row.name, buf, sizeof buf);
        if (row.quoted == nullptr) {
            EXPECT_EQ(n, 0u) << row.name;
            continue;
        }
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
