#include "uSHFileOP.h"

#include <array>

#include "ExactNames.h"

namespace pur {
namespace {

constexpr std::array<FILEOP_FLAGS, kShellOptionCount> kOptionFlags = {
    FOF_ALLOWUNDO,        FOF_CONFIRMMOUSE,      FOF_FILESONLY,
    FOF_MULTIDESTFILES,   FOF_NOCONFIRMATION,    FOF_NOCONFIRMMKDIR,
    FOF_RENAMEONCOLLISION, FOF_SILENT,           FOF_SIMPLEPROGRESS,
    FOF_WANTMAPPINGHANDLE,
};

std::optional<std::vector<char>> OneNameList(const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::vector<char> list(name.begin(), name.end());
  list.push_back('\0');
  list.push_back('\0');
  return list;
}

// The wide form of a name list, zero separators included; none when a name has no exact
// wide form (the operation then does not run).
std::optional<std::wstring> WideList(const std::optional<std::vector<char>>& list) {
  if (!list) return std::wstring();
  return WideFromAnsi(std::string_view(list->data(), list->size()));
}

const wchar_t* WideOrNull(const std::wstring& list) { return list.empty() ? nullptr : list.c_str(); }

// Through the wide call: the ANSI one stops at MAX_PATH, and Wine's does not even reach the
// Trash for longer paths.
int RunWideShellOperation(const TShellFileOp& op, const std::wstring& wideFrom, const std::wstring& wideTo) {
  const std::wstring title = WideFromAnsi(op.Title).value_or(std::wstring());
  SHFILEOPSTRUCTW shellOp{};
  // The library has no main form; the shell's dialogs then have no owner.
  shellOp.hwnd = nullptr;
  shellOp.wFunc = ShellFunction(op.Operation);
  shellOp.pFrom = WideOrNull(wideFrom);
  shellOp.pTo = WideOrNull(wideTo);
  shellOp.fFlags = ShellFlags(op.Options);
  shellOp.lpszProgressTitle = title.c_str();
  return SHFileOperationW(&shellOp);
}

int RunShellOperation(const TShellFileOp& op, const std::optional<std::vector<char>>& from,
                      const std::optional<std::vector<char>>& to) {
  const std::optional<std::wstring> wideFrom = WideList(from);
  const std::optional<std::wstring> wideTo = WideList(to);
  if (!wideFrom || !wideTo) return ERROR_NO_UNICODE_TRANSLATION;
  return RunWideShellOperation(op, *wideFrom, *wideTo);
}

}  // namespace

UINT ShellFunction(TFileOperation operation) {
  switch (operation) {
    case TFileOperation::Copy: return FO_COPY;
    case TFileOperation::Delete: return FO_DELETE;
    case TFileOperation::Move: return FO_MOVE;
    case TFileOperation::Rename: return FO_RENAME;
  }
  return 0;
}

FILEOP_FLAGS ShellFlags(TShellOptions options) {
  FILEOP_FLAGS flags = 0;
  for (int position = 0; position < kShellOptionCount; ++position) {
    if (options.Has(static_cast<TShellOption>(position))) flags |= kOptionFlags[position];
  }
  return flags;
}

std::optional<std::vector<char>> ToShellList(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::vector<char> list(text.size() + 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    list[i] = (c == ';' || c == '|') ? '\0' : c;
  }
  return list;
}

int ShellFileOperation(const TShellFileOp& op) {
  return RunShellOperation(op, ToShellList(op.Source), ToShellList(op.Destination));
}

int ShellFileOperationOnOneName(const TShellFileOp& op) {
  return RunShellOperation(op, OneNameList(op.Source), OneNameList(op.Destination));
}

int ShellDeleteExact(const TExactPath& path, TShellOptions options) {
  TShellFileOp op;
  op.Operation = TFileOperation::Delete;
  op.Options = options;
  std::wstring from = path.PlainWide();
  from.push_back(L'\0');  // the list's end; the string adds the second zero
  return RunWideShellOperation(op, from, std::wstring());
}

}  // namespace pur
