// The switches of the package manager's manifest, run as the manager runs
// them: the command lines tests/e2e/winget_manifest.sh built from the
// manifest the release writer wrote (TAVIX_WINGET_ARGS), <INSTALLPATH> and
// <LOGPATH> filled in with a folder and a log that hold blanks and Chinese.
// Each installs into the folder and logs into the log; the manager finds
// the installation under the entry the manifest names.
#include <sstream>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/silent_steps.h"

using namespace e2e;

namespace {

std::vector<std::wstring> Fields(const std::wstring& line) {
    std::vector<std::wstring> out;
    std::wstringstream in(line);
    for (std::wstring field; std::getline(in, field, L'\t');) out.push_back(field);
    return out;
}

} // namespace

E2E_SCENARIO(manifest_switches_install_and_log_where_named) {
    std::string bytes;
    Check(ReadFileBytes(Env(L"TAVIX_WINGET_ARGS"), bytes), "no command lines from the manifest (%s)",
          ToUtf8(Env(L"TAVIX_WINGET_ARGS")).c_str());
    std::vector<std::wstring> arp;
    int runs = 0;
    std::wstringstream lines(FromUtf8(bytes));
    for (std::wstring line; std::getline(lines, line);) {
        const std::vector<std::wstring> f = Fields(line);
        if (f.size() == 5 && f[0] == L"arp") {
            arp = f;
            continue;
        }
        Check(f.size() == 5 && f[0] == L"run" && arp.size() == 5, "a line that is no run: %s", ToUtf8(line).c_str());
        const std::wstring& mode = f[1];
        const std::wstring dir = f[2] + L"\\", log = f[3];
        Log("%s: %s", ToUtf8(mode).c_str(), ToUtf8(f[4]).c_str());
        InstallScenario s(dir);
        DeleteTree(log.substr(0, log.rfind(L'\\')));
        CreateDirectoryW(log.substr(0, log.rfind(L'\\')).c_str(), nullptr);
        const WatchedRun run = RunWatched(SetupExe(), f[4]);
        Check(run.code == 0, "%s: exit code %lu", ToUtf8(mode).c_str(), run.code);
        if (mode == L"SilentWithProgress")
            CheckOnlyTheProgressWindow(run, W936(Release().caption), "SilentWithProgress");
        else
            Check(run.windows.empty(), "%s: a window showed", ToUtf8(mode).c_str());
        CheckInstalledWithoutTheWizard(dir, log);

        // The entry the manifest names is the one the setup wrote.
        const std::wstring key = L"software\\microsoft\\windows\\currentversion\\uninstall\\" + arp[4];
        const wchar_t* names[] = {L"displayname", L"Publisher", L"DisplayVersion"};
        for (int i = 0; i < 3; ++i) {
            std::wstring value;
            Check(RegRead(HKEY_CURRENT_USER, key, names[i], value) && value == arp[1 + i],
                  "the entry %s has %s \"%s\", the manifest \"%s\"", ToUtf8(key).c_str(), ToUtf8(names[i]).c_str(),
                  ToUtf8(value).c_str(), ToUtf8(arp[1 + i]).c_str());
        }
        DeleteTree(log.substr(0, log.rfind(L'\\')));
        ++runs;
    }
    Check(runs == 2, "%d command lines, not those of Silent and SilentWithProgress", runs);
}
