#include <gtest/gtest.h>

#include <string>

#include "common/integration.h"
#include "tools/winget_manifest.h"

using namespace tavix;

namespace {

const std::string kControl =
    "[Form]\r\nCaption=Quorvixv2.8.2.6（标准版-m）\r\nSerial=02080206\r\nVersion=2.8.2.6（标准版-m）\r\n"
    "desKtopLink=\\Quorvixv2.8.0(m).lnk\r\n[Run]\r\nFileName=TAVI.exe\r\n";
const std::string kUrl = "https://downloads.example.com/TavixSetup.exe";
const std::string kHash = std::string(64, 'A');

WingetSetup SetupOf(const std::string& control = kControl) {
    WingetSetup s;
    s.controlText = control;
    s.elevates = true;
    s.sha256 = kHash;
    return s;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

}  // namespace

// The entry the manifest names is the one the setup writes: the package
// manager finds the installation by it.
TEST(WingetManifest, NamesTheUninstallEntryTheSetupWrites) {
    std::string problem;
    const std::vector<WingetFile> files = MakeWingetManifest(SetupOf(), kUrl, problem);
    ASSERT_EQ(files.size(), 3u) << problem;
    EXPECT_EQ(files[0].name, "Velmora.Quorvix.yaml");
    EXPECT_EQ(files[1].name, "Velmora.Quorvix.installer.yaml");
    EXPECT_EQ(files[2].name, "Velmora.Quorvix.locale.zh-CN.yaml");
    const std::string& installer = files[1].text;
    for (const RegValue& v : UninstallValues("C:\\Program Files\\Tavix280\\", "02080206")) {
        const char* field = v.name == "displayname"      ? "DisplayName"
                            : v.name == "Publisher"      ? "Publisher"
                            : v.name == "DisplayVersion" ? "DisplayVersion"
                                                         : nullptr;
        if (field) {
            EXPECT_NE(installer.find(std::string(field) + ": '" + v.value + "'"), std::string::npos) << field;
        }
    }
    const std::string key = kUninstallKey;
    EXPECT_NE(installer.find("ProductCode: '" + key.substr(key.rfind('\\') + 1) + "'"), std::string::npos);
    EXPECT_NE(installer.find("InstallerSha256: " + kHash + "\n"), std::string::npos);
    EXPECT_NE(installer.find("Architecture: x86\n"), std::string::npos);
    EXPECT_NE(installer.find("ElevationRequirement: elevatesSelf\n"), std::string::npos);

    WingetSetup plain = SetupOf();
    plain.elevates = false;
    plain.x64 = true;
    const std::string other = MakeWingetManifest(plain, kUrl, problem)[1].text;
    EXPECT_EQ(other.find("ElevationRequirement"), std::string::npos);
    EXPECT_NE(other.find("Architecture: x64\n"), std::string::npos);
}

// A quote in the address cannot end its YAML scalar.
TEST(WingetManifest, QuotesWhatItTakesFromOutside) {
    std::string problem;
    const auto files = MakeWingetManifest(SetupOf(), "https://example.com/it's/TavixSetup.exe", problem);
    ASSERT_EQ(files.size(), 3u) << problem;
    EXPECT_NE(files[1].text.find("InstallerUrl: 'https://example.com/it''s/TavixSetup.exe'\n"), std::string::npos);
}

TEST(WingetManifest, RefusesWhatCannotMakeAManifest) {
    struct Case {
        const char* what;
        std::string control, url, words;
    };
    const Case cases[] = {
        {"no address", kControl, "", "is no http:// or https:// address"},
        {"another scheme", kControl, "ftp://example.com/TavixSetup.exe", "is no http:// or https:// address"},
        {"a scheme alone", kControl, "https://", "is no http:// or https:// address"},
        {"a blank", kControl, "https://example.com/Tavix Setup.exe", "is no http:// or https:// address"},
        {"a serial of letters", Replaced(kControl, "Serial=02080206", "Serial=v2.8"), kUrl, "[Form] Serial \"v2.8\""},
        {"no serial", Replaced(kControl, "Serial=02080206", "Serial="), kUrl, "[Form] Serial \"\""},
        {"no caption", Replaced(kControl, "Caption=Quorvixv2.8.2.6（标准版-m）", "Caption="), kUrl,
         "its control file is damaged"},
        {"a caption too short to describe", Replaced(kControl, "Caption=Quorvixv2.8.2.6（标准版-m）", "Caption=Q"),
         kUrl, "cannot be the package's short description"},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_TRUE(MakeWingetManifest(SetupOf(c.control), c.url, problem).empty()) << c.what;
        EXPECT_NE(problem.find(c.words), std::string::npos) << c.what << ": " << problem;
    }
    std::string problem;
    EXPECT_EQ(MakeWingetManifest(SetupOf(), "HTTP://example.com/a.exe", problem).size(), 3u) << problem;
}

TEST(WingetManifest, ElevationIsWhatTheApplicationManifestAsksFor) {
    struct Case {
        const char* xml;
        bool asks;
    };
    const Case cases[] = {
        {"<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>", true},
        {"<requestedExecutionLevel uiAccess='false' level='highestAvailable'/>", true},
        {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>", false},
        {"<!-- no level -->", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(AsksForAdministrator(c.xml), c.asks) << c.xml;
}
