#include "product_start.h"

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "setupdata/wide_text.h"
#include "ui/com_ref.h"

namespace wizard {
namespace {

using ui::ComRef;

// A string for a COM call, freed when it goes.
struct Bstr {
    BSTR s;
    explicit Bstr(const std::wstring& text) : s(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    VARIANT AsVariant() const {
        VARIANT v = {};
        v.vt = VT_BSTR;
        v.bstrVal = s;
        return v;
    }
};

// The desktop shell's own ShellExecute: the desktop window's view, its
// folder view's scripting object and that object's application, whose
// ShellExecute runs in the shell's process. Each step fails where no shell
// of this account runs the desktop.
bool ShellExecuteOfDesktop(const std::wstring& program, const std::wstring& folder) {
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.Out())))
        return false;
    VARIANT desktop = {};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT none = {};
    long window = 0;
    ComRef<IDispatch> found;
    if (windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &found.p) != S_OK || !found.p)
        return false;
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    ComRef<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, services.Out())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Out())) ||
        FAILED(browser->QueryActiveShellView(&view.p)) || !view.p ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Out())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.Out())) ||
        FAILED(folderView->get_Application(&application.p)) || !application.p ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.Out())))
        return false;
    const Bstr file(program), dir(folder), verb(L"open"), noArguments(L"");
    VARIANT show = {};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.s, noArguments.AsVariant(), dir.AsVariant(), verb.AsVariant(), show));
}

} // namespace

void StartInstalledProgram(HWND owner, const std::string& program, const std::string& folder) {
    const std::wstring file = tavix::W(program), dir = tavix::W(folder);
    if (!ShellExecuteOfDesktop(file, dir)) ShellExecuteW(owner, L"open", file.c_str(), L"", dir.c_str(), SW_SHOW);
}

} // namespace wizard
