// Our control-file lookup agrees with the platform's private-profile read.
#include "driver/e2e.h"
#include "setupdata/ini.h"

using namespace e2e;

namespace {

struct Doc {
    const char* what;
    std::string text;
    std::vector<std::pair<std::string, std::string>> queries;  // section, key
};

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::vector<Doc> Documents(const std::string& shipped) {
    using Q = std::vector<std::pair<std::string, std::string>>;
    const Q common = {{"Form", "Caption"}, {"form", "CAPTION"}, {"Form", "Serial"}, {"Form", "desKtopLink"},
                      {"Run", "FileName"}, {"Run", "RJSize"}, {"SetupDir", "SetupPath"}, {"SetupDir", "Drive"},
                      {"***", "Caption"}, {"Run", "Ren RJSize"}, {"Run", "Ren"}, {"Nope", "x"}, {"A", "k"},
                      {"A", "j"}, {"A", "q"}, {"B", "k"}, {"A", "x"}, {" A ", " k "}, {"", "k"}};
    return {
        {"the shipped control file", shipped, common},
        {"duplicate keys and sections", "[A]\r\nk=1\r\nk=2\r\n[B]\r\nk=3\r\n[A]\r\nk=4\r\nx=5\r\n", common},
        {"blanks", "  [A]  \r\n\t k \t = \t v  w \t\r\n j= \r\n", common},
        {"blanks inside brackets", "[ A ]\r\nk=1\r\n", common},
        {"lines without =", "[A]\r\nk\r\nk=1\r\nj\r\nnothing here\r\n", common},
        {"quotes", "[A]\r\nk=\"quoted\"\r\nj='single'\r\nq=\"open\r\nx=\"\"\r\n", common},
        {"CR-only line ends", "[A]\rk=1\rj=2\r", common},
        {"LF-only line ends", "[A]\nk=1\nj=2\n", common},
        {"no line end at the end", "[A]\r\nk=last", common},
        {"section without ]", "[A]\r\n[B\r\nk=1\r\n", common},
        {"= in the value, empty key", "[A]\r\nk=a=b\r\n=x\r\nj==\r\n", common},
        {"comment-like lines", "[A]\r\n;k=1\r\nk=2\r\n#j=3\r\n", common},
        {"GBK names and values", "[节]\r\n键=值\r\n[A]\r\nk=汉字 值\r\n", {{"节", "键"}, {"A", "k"}}},
        {"value of 2047 bytes", "[A]\r\nk=" + std::string(2047, 'x') + "\r\n", common},
        {"value of 2048 bytes", "[A]\r\nk=" + std::string(2048, 'y') + "\r\n", common},
        {"long GBK value", "[A]\r\nk=" + Repeat("汉", 1500) + "\r\nj=a" + Repeat("汉", 1100) + "\r\n", common},
        {"ideographic space around a value", "[A]\r\nk=　v　\r\n", common},
        {"empty document", "", common},
    };
}

} // namespace

E2E_SCENARIO(lookup_agrees_with_the_platform) {
    std::string shipped;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.ini", shipped), "cannot read the shipped control file");
    Check(GetACP() == 936, "the ANSI code page is %u, not 936", GetACP());
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring wpath = std::wstring(tmp) + L"ini_e2e.ini";
    std::string path = Narrow(wpath, 936);
    int disagreements = 0, compared = 0;
    for (const Doc& doc : Documents(shipped)) {
        WriteFileBytes(wpath, doc.text);
        for (const auto& q : doc.queries) {
            char buf[2048];
            GetPrivateProfileStringA(q.first.c_str(), q.second.c_str(), "", buf, sizeof buf, path.c_str());
            std::string platform = buf;
            std::string ours = tavix::ReadIniFile(path, q.first, q.second);
            ++compared;
            // A value that does not fit 2047 bytes and would be cut inside a
            // double-byte character: the platform's conversion fails and it
            // returns 2047 bytes ending in whatever the buffer held before
            // (a stale byte). Ours stops before that character.
            bool cutBeforeCharacter = platform.size() == 2047 && ours.size() == 2046 &&
                                      platform.compare(0, 2046, ours) == 0;
            if (platform != ours && !cutBeforeCharacter) {
                ++disagreements;
                Log("%s: [%s] %s: platform \"%.60s\" (%zu bytes), ours \"%.60s\" (%zu bytes)", doc.what,
                    ToUtf8(FromGbk(q.first)).c_str(), ToUtf8(FromGbk(q.second)).c_str(),
                    ToUtf8(FromGbk(platform)).c_str(), platform.size(), ToUtf8(FromGbk(ours)).c_str(), ours.size());
            }
        }
    }
    DeleteFileW(wpath.c_str());
    Log("%d lookups compared", compared);
    Check(disagreements == 0, "%d lookups disagree with the platform", disagreements);
}

E2E_SCENARIO(missing_file_reads_empty) {
    Check(tavix::ReadIniFile("C:\\no\\such\\file.ini", "Form", "Caption").empty(), "missing file gave a value");
}
