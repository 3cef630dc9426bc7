#include <gtest/gtest.h>

#include "common/command_line.h"
#include "test_names.h"

using tavix::ParseCommandLine;

namespace {

struct LineCase {
    const char* what;
    const char* args;
    bool silent;
    const char* log;     // null: no /LOG=
    const char* folder;  // null: no /D=
    bool refused;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.what; }


class CommandLineTable : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLineTable, ParsesTheSwitches) {
    const LineCase& c = GetParam();
    tavix::CommandLine cmd = ParseCommandLine(c.args);
    EXPECT_EQ(cmd.silent, c.silent);
    EXPECT_EQ(cmd.hasLog, c.log != nullptr);
    if (c.log) {
        EXPECT_EQ(cmd.log, c.log);
        // Where the name stands in the text: the program takes it from there
        // as it was typed.
        EXPECT_EQ(std::string(c.args).substr(cmd.logAt, cmd.logSize), c.log);
    }
    EXPECT_EQ(cmd.hasFolder, c.folder != nullptr);
    if (c.folder) { EXPECT_EQ(cmd.folder, c.folder); }
    EXPECT_EQ(!cmd.error.empty(), c.refused) << cmd.error;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTable,
    ::testing::Values(
        LineCase{"nothing", "", false, nullptr, nullptr, false},
        LineCase{"silent alone", "/S", true, nullptr, nullptr, false},
        LineCase{"letter case ignored", "/s /log=a.txt /d=C:\\A", true, "a.txt", "C:\\A", false},
        LineCase{"folder takes the rest with blanks", "/S /D=C:\\Program Files\\Tavix 280", true, nullptr,
                 "C:\\Program Files\\Tavix 280", false},
        LineCase{"folder keeps quotes and switches after it", "/S /D=C:\\a /LOG=x", true, nullptr, "C:\\a /LOG=x",
                 false},
        LineCase{"trailing blanks of the folder dropped", "/S /D=C:\\a\\  \t", true, nullptr, "C:\\a\\", false},
        LineCase{"blanks between switches", "  /S\t /LOG=l.txt   /D=D:\\x", true, "l.txt", "D:\\x", false},
        LineCase{"quoted log switch", "/S \"/LOG=C:\\my logs\\a.log\" /D=C:\\a", true, "C:\\my logs\\a.log", "C:\\a",
                 false},
        LineCase{"quoted log value", "/S /LOG=\"C:\\my logs\\a.log\"", true, "C:\\my logs\\a.log", nullptr, false},
        LineCase{"GBK folder", "/S /D=D:\\软件\\东方", true, nullptr, "D:\\软件\\东方", false},
        LineCase{"empty folder", "/S /D=", true, nullptr, "", true},
        LineCase{"blank folder", "/S /D=   ", true, nullptr, "", true},
        LineCase{"unknown switch", "/S /Q", true, nullptr, nullptr, true},
        LineCase{"stray word", "/S install", true, nullptr, nullptr, true},
        LineCase{"switch glued to another", "/SD=C:\\a", false, nullptr, nullptr, true},
        LineCase{"empty log", "/S /LOG=", true, "", nullptr, true},
        LineCase{"two logs", "/S /LOG=a /LOG=b", true, "b", nullptr, true},
        LineCase{"wizard with a folder", "/D=C:\\a", false, nullptr, "C:\\a", false},
        // Quotes as a launcher puts them around one argument of a list.
        LineCase{"quoted switch", "/S \"/D=C:\\Program Files\\Tavix280\"", true, nullptr,
                 "C:\\Program Files\\Tavix280", false},
        LineCase{"quoted value", "/S /D=\"C:\\Program Files\\Tavix280\"", true, nullptr,
                 "C:\\Program Files\\Tavix280", false},
        LineCase{"quoted switch, any letter case, blanks after", "/S \"/d=C:\\a b\"  ", true, nullptr, "C:\\a b",
                 false},
        LineCase{"quoted after the log", "\"/LOG=C:\\l g.log\" /S \"/D=D:\\软件\\东方\"", true, "C:\\l g.log",
                 "D:\\软件\\东方", false},
        LineCase{"backslashes doubled before the closing quote", "/S \"/D=C:\\a b\\\\\"", true, nullptr,
                 "C:\\a b\\", false},
        LineCase{"a quoted quote stays in the folder", "/S \"/D=C:\\a b\\\"", true, nullptr, "C:\\a b\\\"",
                 false},
        LineCase{"quote inside the folder stays", "/S /D=C:\\a\"b", true, nullptr, "C:\\a\"b", false},
        LineCase{"quote opened in the value only", "/S /D=\"C:\\a", true, nullptr, "\"C:\\a", false},
        LineCase{"quote before the switch not closed", "/S \"/D=C:\\a b", true, nullptr, "C:\\a b", true},
        LineCase{"empty quoted folder", "/S /D=\"\"", true, nullptr, "", true},
        LineCase{"empty quoted switch", "/S \"/D=\"", true, nullptr, "", true}),
    tavix_test::CaseName<LineCase>);

// /PASSIVE is the run without the wizard that shows its progress: the same
// switches as /S, and never both.
TEST(CommandLine, PassiveIsTheOtherRunWithoutTheWizard) {
    struct Case {
        const char* args;
        bool silent, passive, refused;
        const char* folder;
    };
    const Case cases[] = {
        {"/PASSIVE", false, true, false, nullptr},
        {"/passive /LOG=a.log /D=C:\\Program Files\\Tavix 280", false, true, false, "C:\\Program Files\\Tavix 280"},
        {"\"/Passive\" /D=C:\\a", false, true, false, "C:\\a"},
        {"/S /PASSIVE", true, true, true, nullptr},
        {"/PASSIVE /S /D=C:\\a", true, true, true, "C:\\a"},
        {"/PASSIVE /Q", false, true, true, nullptr},
        {"/PASSIVEX", false, false, true, nullptr},
        {"/P", false, false, true, nullptr},
    };
    for (const Case& c : cases) {
        const tavix::CommandLine cmd = ParseCommandLine(c.args);
        EXPECT_EQ(cmd.silent, c.silent) << c.args;
        EXPECT_EQ(cmd.passive, c.passive) << c.args;
        EXPECT_EQ(cmd.Unattended(), c.silent || c.passive) << c.args;
        EXPECT_EQ(!cmd.error.empty(), c.refused) << c.args << ": " << cmd.error;
        EXPECT_EQ(cmd.hasFolder, c.folder != nullptr) << c.args;
        if (c.folder) {
            EXPECT_EQ(cmd.folder, c.folder) << c.args;
        }
    }
}

}  // namespace
