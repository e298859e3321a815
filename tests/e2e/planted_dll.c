/* Planted beside the launcher under a system DLL's name: if it is ever
   loaded, it leaves C:\planted-<its name>.txt behind. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH], marker[MAX_PATH + 32] = L"C:\\planted-";
        GetModuleFileNameW(self, path, MAX_PATH);
        const wchar_t* name = wcsrchr(path, L'\\');
        lstrcatW(marker, name ? name + 1 : path);
        lstrcatW(marker, L".txt");
        HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}
