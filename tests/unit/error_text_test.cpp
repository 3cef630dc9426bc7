#include <gtest/gtest.h>

#include <string>

#include "setupdata/errors.h"

using namespace tavix;

// The text of the general error box: one full stop at the end, never two.
TEST(ErrorBoxText, OneFullStop) {
    struct Case { std::string text, shown; };
    const Case cases[] = {
        {"Resource FileExe not found", "Resource FileExe not found."},
        {"Unable to write to C:\\x\\Options.ini.", "Unable to write to C:\\x\\Options.ini."},
        // A system text in Chinese ends in its own full stop.
        {"Cannot create file \"C:\\x\\a.dat\". 拒绝访问。", "Cannot create file \"C:\\x\\a.dat\". 拒绝访问。"},
        {"安装文件夹必须以盘符开头。", "安装文件夹必须以盘符开头。"},
        {"磁盘已满", "磁盘已满."},
        {"", "."},
        {"...", "..."},
        // The trail byte of "啊" (B0 A1) and a stray A3 make no "。".
        {"啊\xa3", "啊\xa3."},
        // A full-width full stop of another kind ("．", A3 AE) is no "。" either.
        {"完成．", "完成．."},
    };
    for (const Case& c : cases) EXPECT_EQ(WithFullStop(c.text), c.shown) << c.text;
}
