// Start-up: one copy at a time, the shared marker, the running-product check,
// the control files and the backdrop.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_steps.h"
#include "setupdata/payload.h"
#include "startup/gradient.h"
#include "common/product.h"

using namespace e2e;

namespace {

const wchar_t kProductDir[] = L"C:\\e2e-product";

HWND WaitWizardShown(DWORD pid) { return WaitTop(pid, L"TFormSchedule", nullptr, 20000); }

void CheckControlFilesMatchPayload() {
    HMODULE exe = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    Check(exe != nullptr, "cannot load the setup as a data file");
    for (int i = 0; i < 3; ++i) {
        tavix::PayloadItem item = tavix::FindPayloadIn(exe, kControlFileItems[i][0], kControlFileItems[i][1]);
        std::string onDisk;
        Check(ReadFileBytes(WindowsTempDir() + kControlFileNames[i], onDisk), "%s is missing",
              ToUtf8(kControlFileNames[i]).c_str());
        Check(onDisk == tavix::ReadPayload(item), "%s differs from its item",
              ToUtf8(kControlFileNames[i]).c_str());
    }
    FreeLibrary(exe);
}

void CheckNoControlFiles() {
    for (const wchar_t* name : kControlFileNames)
        Check(!FileExists(WindowsTempDir() + name), "%s was left behind", ToUtf8(name).c_str());
}

void PlantStaleControlFiles() {
    for (const wchar_t* name : kControlFileNames) WriteFileBytes(WindowsTempDir() + name, "left by an earlier run");
}

DWORD ReadMarker(HANDLE mapping) {
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4);
    Check(view != nullptr, "cannot map the marker");
    DWORD value = *static_cast<volatile DWORD*>(view);
    UnmapViewOfFile(view);
    return value;
}

} // namespace

E2E_SCENARIO(second_copy_is_refused_and_a_later_one_runs) {
    Process first = StartSetup();
    HWND wizard = WaitWizardShown(first.pid);

    Process second = StartSetup();
    MsgBoxInfo box = WaitMessageBox(second.pid);
    Check(box.caption == FromGbk("运行提示"), "caption %s", ToUtf8(box.caption).c_str());
    Check(box.text == FromGbk("安装程序已经运行"), "text %s", ToUtf8(box.text).c_str());
    Check(box.hasIcon && box.buttons.size() == 1, "an information box with one button expected");
    Check(FindTop(second.pid, L"TFormain", nullptr) == nullptr, "the second copy made a backdrop");
    Answer(box, IDOK);
    Check(WaitExit(second) == 0, "the refused copy's exit code is not 0");
    Check(!HasExited(first) && IsWindowVisible(wizard), "the first copy was disturbed");
    CheckControlFilesMatchPayload();
    EndSetupByBackdrop(first);
    CheckNoControlFiles();

    Process third = StartSetup();
    WaitWizardShown(third.pid);
    Check(FindTop(third.pid, L"#32770", nullptr) == nullptr, "a copy started after the first was refused");
    EndSetupByBackdrop(third);
}

E2E_SCENARIO(marker_is_created_as_zero_and_another_value_is_kept) {
    // Created by the setup: reads 0 while it runs.
    Process setup = StartSetup();
    WaitWizardShown(setup.pid);
    HANDLE mine = OpenFileMappingA(FILE_MAP_READ, FALSE, tavix::kMarkerMappingName);
    Check(mine != nullptr, "the setup made no marker");
    Check(ReadMarker(mine) == 0, "a new marker does not read 0");
    CloseHandle(mine);
    EndSetupByBackdrop(setup);

    // Made by another program first: its value stays.
    HANDLE other = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, tavix::kMarkerMappingName);
    Check(other != nullptr && GetLastError() != ERROR_ALREADY_EXISTS, "a marker was left behind");
    void* view = MapViewOfFile(other, FILE_MAP_WRITE, 0, 0, 4);
    *static_cast<volatile DWORD*>(view) = 0x2A2A2A2A;
    setup = StartSetup();
    WaitWizardShown(setup.pid);
    Check(*static_cast<volatile DWORD*>(view) == 0x2A2A2A2A, "the setup changed another program's value");
    EndSetupByBackdrop(setup);
    Check(*static_cast<volatile DWORD*>(view) == 0x2A2A2A2A, "the value changed at the end");
    UnmapViewOfFile(view);
    CloseHandle(other);
}

E2E_SCENARIO(running_product_declined_ends_without_wizard) {
    Process product = StartProduct(kProductDir, L"TAVI.exe");
    PlantStaleControlFiles();
    Process setup = StartSetup();
    MsgBoxInfo box = WaitMessageBox(setup.pid);
    Check(box.caption == FromGbk("运行提示"), "caption %s", ToUtf8(box.caption).c_str());
    std::wstring expected = FromGbk(tavix::ProductRunningQuestion());
    Check(box.text == expected, "question text differs: %s", ToUtf8(box.text).c_str());
    Check(expected.find(L"\r\n") == std::wstring::npos && expected.find(L'\r') != std::wstring::npos,
          "the question must break lines with bare carriage returns");
    Check(box.buttons.size() == 2 && box.hasIcon, "a Yes/No box with an icon expected");
    Answer(box, IDNO);
    Check(WaitExit(setup) == 0, "exit code is not 0");
    Check(!HasExited(product), "the product was ended although the user declined");
    CheckNoControlFiles();  // the stale ones went too
    Kill(product);
    DeleteTree(kProductDir);
}

E2E_SCENARIO(running_product_accepted_is_ended_with_code_4) {
    Process product = StartProduct(kProductDir, L"tavi.exe");
    Process setup = StartSetup();
    MsgBoxInfo box = WaitMessageBox(setup.pid);
    Answer(box, IDYES);
    Check(WaitExit(product, 10000) == 4, "the product was not ended with exit code 4");
    WaitWizardShown(setup.pid);
    CheckControlFilesMatchPayload();
    EndSetupByBackdrop(setup);
    CheckNoControlFiles();
    DeleteTree(kProductDir);
}

E2E_SCENARIO(other_spellings_of_the_product_are_not_asked_about) {
    Process product = StartProduct(kProductDir, L"Tavi.exe");
    Process setup = StartSetup();
    WaitWizardShown(setup.pid);
    Check(FindTop(setup.pid, L"#32770", nullptr) == nullptr, "a question was asked for Tavi.exe");
    Check(!HasExited(product), "Tavi.exe was ended");
    EndSetupByBackdrop(setup);
    Kill(product);
    DeleteTree(kProductDir);
}

E2E_SCENARIO(termination_passes_over_untitled_and_setup_titled_windows) {
    // Product windows stack up in start order: the last one started is on top.
    Process target = StartProduct(kProductDir, L"TAVI.exe", L"Quorvix");
    Process lower = StartProduct(kProductDir + std::wstring(L"2"), L"TAVI.exe", L"Quorvix 2");
    Process setupTitled = StartProduct(kProductDir + std::wstring(L"3"), L"TAVI.exe", L"tavixSetup");
    Process untitled = StartProduct(kProductDir + std::wstring(L"4"), L"TAVI.exe", L"");
    Process setup = StartSetup();
    Answer(WaitMessageBox(setup.pid), IDYES);
    WaitWizardShown(setup.pid);
    Check(WaitExit(lower, 10000) == 4, "the uppermost titled product window's process was not ended");
    Pause(500);
    Check(!HasExited(target), "more than one product process was ended");
    Check(!HasExited(setupTitled) && !HasExited(untitled), "a passed-over window's process was ended");
    EndSetupByBackdrop(setup);
    for (Process* p : {&target, &setupTitled, &untitled}) Kill(*p);
    for (const wchar_t* suffix : {L"", L"2", L"3", L"4"}) DeleteTree(kProductDir + std::wstring(suffix));
}

E2E_SCENARIO(backdrop_shows_the_gradient_and_the_footer) {
    Process setup = StartSetup();
    WaitWizardShown(setup.pid);
    HWND backdrop = WaitTop(setup.pid, L"TFormain", nullptr);
    // The title names the release, the sample's as it always has.
    Check(FindChild(backdrop, L"TPanel", L"  Quorvixv2.8.2.6（标准版）安装程序 ") != nullptr,
          "the backdrop's title is not the sample release's");
    RECT client = ClientRectOnScreen(backdrop);
    int height = client.bottom - client.top;
    Check(client.left == 0 && client.top == 0 && client.right == GetSystemMetrics(SM_CXSCREEN) &&
              height == GetSystemMetrics(SM_CYSCREEN),
          "the backdrop does not cover the screen");
    Pause(500);
    Screenshot(nullptr, L"backdrop");
    // Between the title band (117) and the footer (29) the gradient shows;
    // the left edge is free of the wizard.
    int checked = 0;
    for (const tavix::GradientBand& band : tavix::GradientBands(height)) {
        for (int row = band.top; row < band.bottom; ++row) {
            if (row < 117 || row >= height - 29) continue;
            COLORREF c = PixelAt(4, row);
            Check(c == RGB(0, 0, band.blue), "row %d is %06lx, band colour is blue %d", row, c, band.blue);
            ++checked;
        }
    }
    Check(checked > 500, "only %d rows checked", checked);
    HWND label2 = FindChild(backdrop, L"Static", FromGbk(tavix::FooterMakerLine()).c_str());
    Check(label2 != nullptr, "no maker line in the footer");
    RECT r;
    GetWindowRect(label2, &r);
    Check(r.right == client.right - 32, "the maker line ends at %ld, not 32 pixels from the right edge %ld", r.right,
          client.right);
    EndSetupByBackdrop(setup);
}

E2E_SCENARIO(missing_item_shows_the_error_box_and_the_setup_ends) {
    RemoveControlFiles();
    Process setup = StartSetup(Env(L"TAVIX_MISSING_AGREEMENT_EXE"));
    MsgBoxInfo box = WaitMessageBox(setup.pid);
    Check(box.caption == L"tavixSetup", "caption %s", ToUtf8(box.caption).c_str());
    Check(box.text == L"Resource FileTxt4 not found.", "text %s", ToUtf8(box.text).c_str());
    Check(box.hasIcon && box.buttons.size() == 1, "an error box with OK expected");
    CheckNoControlFiles();  // all three are found before any is written
    Answer(box, IDOK);
    // No wizard, and no backdrop left with nothing on it: the setup ends.
    Check(WaitExit(setup, 15000) == 0, "the setup's exit code is not 0");
    Check(FindTop(setup.pid, L"TFormSchedule", nullptr, 0) == nullptr, "the wizard opened without its files");
    CheckNoControlFiles();
}

E2E_SCENARIO(dll_planted_beside_the_setup_is_not_loaded) {
    // Without a limited search, a program loads a DLL by name from its own
    // folder: this scenario's own folder holds one, and Wine loads it.
    HMODULE own = LoadLibraryW(kPlantedDll);
    Check(own != nullptr, "a program without a limited DLL search did not load the DLL beside it");
    wchar_t ownPath[MAX_PATH] = {};
    GetModuleFileNameW(own, ownPath, MAX_PATH);
    FreeLibrary(own);
    // A copy of the setup with the same DLL beside it, as in a downloads folder.
    const std::wstring dir = std::wstring(kTestRoot) + L"\\下载\\";
    CreateDirectoryW(kTestRoot, nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    struct Cleanup {
        ~Cleanup() { DeleteTree(kTestRoot); }
    } cleanup;
    Check(CopyFileW(SetupExe().c_str(), (dir + L"TavixSetup.exe").c_str(), FALSE) &&
              CopyFileW(ownPath, (dir + kPlantedDll).c_str(), FALSE),
          "cannot copy the setup and the DLL");
    RemoveControlFiles();
    Process setup = StartSetup(dir + L"TavixSetup.exe");
    InstallProbe probe;
    probe.Attach(setup.pid);
    Check(!probe.WaitWatching(WaitTop(setup.pid, L"TFormain", nullptr)), "the setup loaded the DLL planted beside it");
    EndSetupByBackdrop(setup);
}
