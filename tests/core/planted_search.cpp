// A library planted where a careless program would pick it up by bare name: when it is ever
// loaded it leaves a marker file in the current folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    HANDLE marker = CreateFileA("planted-was-loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) void __stdcall InitLibrarie(const char*, const char*, const char*) {}
