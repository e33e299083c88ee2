#include "uSHFileOP.h"


#include <array>

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

const char* DataOrNull(const std::optional<std::vector<char>>& list) {
  return list ? list->data() : nullptr;
}

int RunShellOperation(const TShellFileOp& op, const std::optional<std::vector<char>>& from,
                      const std::optional<std::vector<char>>& to) {
  SHFILEOPSTRUCTA shellOp{};
  // The library has no main form; the shell's dialogs then have no owner.
  shellOp.hwnd = nullptr;
  shellOp.wFunc = ShellFunction(op.Operation);
  shellOp.pFrom = DataOrNull(from);
  shellOp.pTo = DataOrNull(to);
  shellOp.fFlags = ShellFlags(op.Options);
  shellOp.lpszProgressTitle = op.Title.c_str();
  return SHFileOperationA(&shellOp);
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

}  // namespace pur
