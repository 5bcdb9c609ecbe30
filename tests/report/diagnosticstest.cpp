#include "report/diagnostics.h"

#include <gtest/gtest.h>

TEST(Diagnostics, KeepsUpToTheCapAndTellsTheListenerEveryOne)
{
    Diagnostics diagnostics(2);
    std::vector<std::string> heard;
    diagnostics.setListener([&heard](const Diagnostic &d) { heard.push_back(d.printed()); });

    diagnostics.add(Severity::Warning, "OSMParser", "Ignored <foo>");
    diagnostics.add(Severity::Error, "OSMParser", "Reading failed!");
    diagnostics.add(Severity::Progress, "", "done");

    EXPECT_EQ(heard, (std::vector<std::string>{"OSMParser: Ignored <foo>", "OSMParser: Reading failed!", "done"}));
    ASSERT_EQ(diagnostics.all().size(), 2u);
    EXPECT_EQ(diagnostics.dropped(), 1u);
    EXPECT_TRUE(diagnostics.hasErrors());
    EXPECT_EQ(diagnostics.count(Severity::Warning), 1u);
}
