// Stand-in for the product's uninstaller "Uninstall.exe": says what it is in
// one message box and ends. It removes nothing and writes nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MessageBoxW(nullptr,
                L"这是 Quorvix 卸载程序的替身，用于测试安装程序。\n它不会删除任何文件，也不会修改注册表。",
                L"Quorvix 卸载", MB_OK | MB_ICONINFORMATION);
    return 0;
}
