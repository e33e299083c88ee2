#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include "TreeRemoval.h"

#include <atomic>
#include <stdexcept>

namespace pur::test {

namespace {
std::atomic<int> counter{0};

void MakeAttributes(const std::string& path, DWORD attributes) {
  if (attributes != 0 && !SetFileAttributesA(path.c_str(), attributes)) {
    throw std::runtime_error("SetFileAttributes " + path);
  }
}
}  // namespace

TempTree::TempTree(const std::string& tag) {
  char temp[MAX_PATH];
  DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetTempPath");
  root_ = std::string(temp) + "pur-engine-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
  if (!CreateDirectoryA(root_.c_str(), nullptr)) throw std::runtime_error("CreateDirectory " + root_);
}

TempTree::~TempTree() {
  if (!keep_) purtest::RemoveTree(root_);
}

void TempTree::Dir(const std::string& relative, DWORD attributes) const {
  std::string path = Path(relative);
  if (!CreateDirectoryA(path.c_str(), nullptr)) throw std::runtime_error("CreateDirectory " + path);
  MakeAttributes(path, attributes);
}

void TempTree::File(const std::string& relative, DWORD attributes) const {
  std::string path = Path(relative);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("CreateFile " + path);
  DWORD written = 0;
  WriteFile(file, "x", 1, &written, nullptr);
  CloseHandle(file);
  MakeAttributes(path, attributes);
}

TRADossier& NodeAt(TRAPosteDeTravail& computer, const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') throw std::invalid_argument(path);
  int index = computer.IndexOfName(path.substr(0, 1));
  if (index < 0) index = computer.AddChildByName(path.substr(0, 1));
  IArborescense* node = computer.GetChild(index);
  size_t start = 3;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    int child = node->IndexOfName(name);
    if (child < 0) child = node->AddChildByName(name);
    node = node->GetChild(child);
    start = end + 1;
  }
  auto* folder = dynamic_cast<TRADossier*>(node);
  if (folder == nullptr) throw std::invalid_argument("not a folder: " + path);
  return *folder;
}

MaskRef AddMask(IArborescense& node, const std::string& text, bool recursive) {
  auto mask = std::make_shared<TMasque>(text, recursive);
  dynamic_cast<IMasque&>(node).GetMasks().Add(mask);
  return mask;
}

StringList Relative(const StringList& paths, const std::string& root) {
  StringList out;
  for (const std::string& path : paths) {
    out.push_back(path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path);
  }
  return out;
}

std::string Joined(const StringList& items) {
  std::string text;
  for (const std::string& item : items) text += "[" + item + "] ";
  return text;
}

}  // namespace pur::test
