#include <gtest/gtest.h>

#include <string>

#include "install/extraction.h"

using namespace tavix;

TEST(IsTargetInsideFolder, RelativePathsStayOthersAreRefused) {
    struct Case { std::string path; bool inside; };
    const Case cases[] = {
        {"TAVI.exe", true},
        {"CYLib\\CYBaseT.blb", true},
        {"UserFile\\食谱范例\\正常人群\\中体力食谱[女18-岁].Qvt", true},
        {"dir\\with space\\f x.txt", true},
        {"a..b\\.hidden\\x..y", true},         // dots inside a name are fine
        {"", true},                            // fails later on the folder itself
        {"\\Windows\\x.dll", false},
        {"/etc/x", false},
        {"C:\\Windows\\x.dll", false},
        {"C:x.dll", false},
        {"file.txt:stream", false},
        {"..\\x.dll", false},
        {"CYLib\\..\\..\\x.dll", false},
        {"CYLib/../x.dll", false},
        {"...\\x.dll", false},
        {". .\\x.dll", false},
        {"CYLib\\..", false},
        {"淺\\x", true},                       // 9C 5C: the trail byte is no separator
        {"東方.txt", true},                    // 96 7C: nor is it a "|"
        // what the release builder refuses as well
        {"淺..\\x", false},                    // a level that ends in dots is another folder's name
        {"a..b\\.hidden\\x..", false},
        {"Data \\x", false},
        {".\\Options.ini", false},
        {"a\\ \\b", false},
        {"a\\\\b", false},
        {"Data\\aux.txt", false},
        {"nul\\a.txt", false},
        {"COM1.log", false},
        {"a\\b|c", false},
        {"a\\\xff", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsTargetInsideFolder(c.path), c.inside) << c.path;
}
