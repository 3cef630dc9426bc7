/* A DLL with nothing in it but its entry point: what a stranger might leave
   in a downloads folder under the name of a DLL that a program loads. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
