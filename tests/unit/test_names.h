// Names of parameterized cases that read as words: a case's `what`, with
// every character that a test name cannot hold turned into "_".
#pragma once
#include <gtest/gtest.h>

#include <string>

namespace tavix_test {

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.what; *p; ++p) {
        char c = *p;
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += ok ? c : '_';
    }
    return name + "_" + std::to_string(info.index);
}

}  // namespace tavix_test
