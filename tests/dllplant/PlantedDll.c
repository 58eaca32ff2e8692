/* The DLL an attacker would plant beside the program. Copies of it carry the names of DLLs
   that Windows searches for; once its code runs in a process it leaves "<its path>.loaded"
   beside itself, naming that process. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 8] = "";
        char host[MAX_PATH] = "";
        DWORD n = GetModuleFileNameA(hinst, path, MAX_PATH);
        GetModuleFileNameA(NULL, host, MAX_PATH);
        lstrcpyA(path + n, ".loaded");
        HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(h, host, lstrlenA(host), &written, NULL);
            WriteFile(h, "\r\n", 2, &written, NULL);
            CloseHandle(h);
        }
    }
    return TRUE;
}
