#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "install/earlier_install.h"
#include "setupdata/errors.h"

using namespace tavix;

namespace {

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const SetupError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

// ---- numbers ---------------------------------------------------------------------

TEST(StrToInt, Conversions) {
    struct Case { const char* text; int32_t value; };
    const Case good[] = {{"02080206", 2080206}, {"27200", 27200},         {"0", 0},
                         {"-5", -5},            {"+7", 7},                {"  12", 12},
                         {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
    for (const Case& c : good) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    const char* bad[] = {"", " ", "12 ", "1.5", "abc", "2147483648", "-2147483649", "99999999999999999999", "-",
                         "0x10", "1e3"};
    for (const char* t : bad)
        EXPECT_EQ(ErrorOf([&] { StrToInt(t); }), "'" + std::string(t) + "' is not a valid integer value") << t;
}

TEST(StrToFloat, Conversions) {
    struct Case { const char* text; double value; };
    const Case good[] = {{"02080206", 2080206}, {"27200", 27200}, {" 1.5 ", 1.5}, {"-3", -3},
                         {".5", 0.5},           {"5.", 5},        {"1e3", 1000},  {"2.5E-1", 0.25}};
    for (const Case& c : good) EXPECT_DOUBLE_EQ(StrToFloat(c.text), c.value) << c.text;
    const char* bad[] = {"", "abc", "1,5", "1e", ".", "1.2.3", "12a", "--1", "1e999"};
    for (const char* t : bad)
        EXPECT_EQ(ErrorOf([&] { StrToFloat(t); }), "'" + std::string(t) + "' is not a valid floating point value")
            << t;
}

// ---- earlier installation ----------------------------------------------------------

TEST(CheckEarlierInstall, Decisions) {
    const std::set<std::string> files = {"C:\\Old\\TAVI.exe", "D:\\Program Files\\Tavix280\\TAVI.exe"};
    auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    struct Case { const char* what; const char* serial; const char* path; const char* current; VersionQuestion q; };
    const Case cases[] = {
        {"no values", "", "", "02080206", VersionQuestion::None},
        {"serial only", "02080206", "", "02080206", VersionQuestion::None},
        {"path only", "", "C:\\Old\\", "02080206", VersionQuestion::None},
        {"program missing", "02080206", "C:\\Gone\\", "02080206", VersionQuestion::None},
        {"path without backslash", "02080206", "C:\\Old", "02080206", VersionQuestion::None},
        {"equal", "02080206", "C:\\Old\\", "02080206", VersionQuestion::Reinstall},
        {"equal without leading zero", "2080206", "C:\\Old\\", "02080206", VersionQuestion::Reinstall},
        {"later installed", "02080207", "C:\\Old\\", "02080206", VersionQuestion::OlderVersion},
        {"earlier five-digit serial", "27200", "C:\\Old\\", "02080206", VersionQuestion::None},
        {"fractional installed serial", "2080206.5", "C:\\Old\\", "02080206", VersionQuestion::OlderVersion},
        {"earlier eight-digit serial", "02080205", "D:\\Program Files\\Tavix280\\", "02080206",
         VersionQuestion::None},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckEarlierInstall(c.serial, c.path, exists, c.current), c.q) << c.what;
}

TEST(CheckEarlierInstall, ConversionErrorsOnlyWithAnInstalledCopy) {
    auto yes = [](const std::string&) { return true; };
    auto no = [](const std::string&) { return false; };
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("02080206", "C:\\Old\\", yes, "2.8"); }),
              "'2.8' is not a valid integer value");
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("v2", "C:\\Old\\", yes, "02080206"); }),
              "'v2' is not a valid floating point value");
    // The new serial is converted first.
    EXPECT_EQ(ErrorOf([&] { CheckEarlierInstall("v2", "C:\\Old\\", yes, ""); }), "'' is not a valid integer value");
    // Without an installed copy nothing is converted.
    EXPECT_EQ(CheckEarlierInstall("v2", "C:\\Old\\", no, "bad"), VersionQuestion::None);
    EXPECT_EQ(CheckEarlierInstall("", "C:\\Old\\", yes, "bad"), VersionQuestion::None);
}
