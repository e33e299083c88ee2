// A stand-in for the options library, copied as puroptions.dll into a test's own folder.
// Each load appends a line to attach.log beside the DLL (so tests count load attempts); each
// call of the entry appends "owner answer" to calls.log. Answers come from the environment
// variable PUR_FAKE_OPTIONS_ANSWERS, a comma list used in turn (the last one repeats).
// Built once more with FAKE_OPTIONS_NO_ENTRY: a library that lacks the entry.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HMODULE g_self = nullptr;

std::string Beside(const char* leaf) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(g_self, path, MAX_PATH);
  std::string name = path;
  return name.substr(0, name.find_last_of('\\') + 1) + leaf;
}

void AppendLine(const char* leaf, const std::string& line) {
  HANDLE file = CreateFileA(Beside(leaf).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  std::string text = line + "\n";
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

#ifndef FAKE_OPTIONS_NO_ENTRY
int g_calls = 0;

uint32_t AnswerFor(int call) {
  char list[256] = {};
  if (!GetEnvironmentVariableA("PUR_FAKE_OPTIONS_ANSWERS", list, sizeof list)) return 0;
  const char* p = list;
  uint32_t answer = 0;
  for (int i = 0; i <= call && *p; ++i) {
    char* end = nullptr;
    answer = static_cast<uint32_t>(std::strtoul(p, &end, 0));
    p = *end == ',' ? end + 1 : end;
  }
  return answer;
}
#endif

}  // namespace

#ifndef FAKE_OPTIONS_NO_ENTRY
extern "C" __declspec(dllexport) uint32_t __stdcall OpenOptionsBox(HWND owner) {
  uint32_t answer = AnswerFor(g_calls++);
  char line[64];
  std::snprintf(line, sizeof line, "%lu %lu", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(owner)),
                static_cast<unsigned long>(answer));
  AppendLine("calls.log", line);
  return answer;
}
#else
extern "C" __declspec(dllexport) uint32_t __stdcall SomethingElse(HWND) { return 1; }
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    AppendLine("attach.log", "attach");
  }
  return TRUE;
}
