// The description of one shell file operation and its translation into SHFileOperationW
// (names in the ANSI code page, converted exactly).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "ExactPath.h"

namespace pur {

enum class TFileOperation : uint8_t { Copy = 0, Delete = 1, Move = 2, Rename = 3 };

// Options by their position in the set, in this order; each adds one FOF_ flag.
enum class TShellOption : uint8_t {
  AllowUndo = 0,
  ConfirmMouse,
  FilesOnly,
  MultiDestFiles,
  NoConfirmation,
  NoConfirmMkDir,
  RenameOnCollision,
  Silent,
  SimpleProgress,
  WantMappingHandle,
};
constexpr int kShellOptionCount = 10;

// A set of TShellOption, one bit per position.
class TShellOptions {
 public:
  constexpr TShellOptions() = default;
  constexpr TShellOptions(std::initializer_list<TShellOption> options) {
    for (TShellOption option : options) bits_ |= Bit(option);
  }
  constexpr bool Has(TShellOption option) const { return (bits_ & Bit(option)) != 0; }
  constexpr uint16_t Bits() const { return bits_; }

 private:
  static constexpr uint16_t Bit(TShellOption option) {
    return static_cast<uint16_t>(1u << static_cast<unsigned>(option));
  }
  uint16_t bits_ = 0;
};

struct TShellFileOp {
  TFileOperation Operation = TFileOperation::Delete;
  std::string Source;       // names separated by ';' or '|'
  std::string Destination;  // likewise; empty when the operation has none
  TShellOptions Options;
  std::string Title;        // caption of the shell's simple progress window
};

// The option sets the cleanings use.
inline const TShellOptions kTempFolderDeleteOptions{TShellOption::NoConfirmation,
                                                    TShellOption::Silent};  // 0x14
inline const TShellOptions kRecycleDeleteOptions{TShellOption::AllowUndo, TShellOption::FilesOnly,
                                                 TShellOption::NoConfirmation,
                                                 TShellOption::Silent};  // 0xD4

UINT ShellFunction(TFileOperation operation);
FILEOP_FLAGS ShellFlags(TShellOptions options);

// The shell's name-list form: the names separated by zero bytes, ended by two zeros.
// Every ';' and '|' ends a name. An empty text gives none.
std::optional<std::vector<char>> ToShellList(const std::string& text);

// Runs the operation; answers SHFileOperationW's own result (0 = success), or
// ERROR_NO_UNICODE_TRANSLATION when a name is not valid in the ANSI code page.
int ShellFileOperation(const TShellFileOp& op);

// The same, but Source and Destination are each one name taken literally: a ';' is legal
// inside a file name, and splitting there would act on other, unrelated names.
int ShellFileOperationOnOneName(const TShellFileOp& op);

// Deletes one found file through the shell (which takes no "\\?\" form: its plain form,
// safe because every part of an exact path was checked).
int ShellDeleteExact(const TExactPath& path, TShellOptions options);

}  // namespace pur
