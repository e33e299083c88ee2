// The "Recherche personnelle" page: the tree of places in a tree view, the masks of the
// selected place, the text form of the whole definition.
#include "OptionsDialog.h"

#include "OptionsPlatform.h"
#include "OptionsTexts.h"

namespace pur::options {

namespace {

namespace t = texts;

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char* MaskProblemText(TMaskProblem why) {
  switch (why) {
    case TMaskProblem::Empty: return t::kMaskEmpty;
    case TMaskProblem::TooLong: return t::kMaskTooLong;
    case TMaskProblem::BadCharacter: return t::kMaskBadCharacter;
    case TMaskProblem::LeavesFolder: return t::kMaskLeavesFolder;
    case TMaskProblem::None: break;
  }
  return t::kMaskEmpty;
}

}  // namespace

void TOptionsDialog::InsertNode(TArborescense& node, HTREEITEM parent, const TArborescense* select,
                                HTREEITEM& found) {
  // Drives show as "C:\", the computer and folders by their names.
  const std::string text = node.GetKind() == kKindDrive ? node.GetPath() : node.GetName();
  TVINSERTSTRUCTA insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.lParam = reinterpret_cast<LPARAM>(&node);
  HWND tree = Item(ids::kTree);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (&node == select) found = item;
  for (int i = 0; i < node.Count(); ++i) InsertNode(node.ChildNode(i), item, select, found);
  SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void TOptionsDialog::RefreshTree(const TArborescense* select) {
  HWND tree = Item(ids::kTree);
  rebuilding_ = true;
  SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
  SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  HTREEITEM found = nullptr;
  InsertNode(search_.Root(), TVI_ROOT, select, found);
  if (!found) found = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
  SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree, nullptr, TRUE);
  rebuilding_ = false;
  OnPlaceSelected();
  RefreshDefinitionText();
}

TArborescense* TOptionsDialog::CurrentNode() const {
  HWND tree = Item(ids::kTree);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!item) return nullptr;
  TVITEMA data{};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data))) return nullptr;
  return reinterpret_cast<TArborescense*>(data.lParam);
}

TDossier* TOptionsDialog::CurrentPlace() const { return dynamic_cast<TDossier*>(CurrentNode()); }

void TOptionsDialog::OnPlaceSelected() {
  const TArborescense* node = CurrentNode();
  const bool place = dynamic_cast<const TDossier*>(node) != nullptr;
  for (int id : {ids::kMasks, ids::kMaskText, ids::kRecursive, ids::kAddMask, ids::kEditMask, ids::kRemoveMask,
                 ids::kRemoveNode})
    EnableWindow(Item(id), place && !Locked(id));
  RefreshMasks(-1);
}

void TOptionsDialog::RefreshMasks(int select) {
  HWND list = Item(ids::kMasks);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  TDossier* place = CurrentPlace();
  if (place) {
    const TMasqueList& masks = place->GetMasks();
    for (int i = 0; i < masks.Count(); ++i)
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(masks.GetItem(i)->ToText().c_str()));
  }
  SendMessageA(list, LB_SETCURSEL, select, 0);
  if (select >= 0) OnMaskSelected();
}

void TOptionsDialog::RefreshDefinitionText() {
  SetWindowTextA(Item(ids::kDefinitionText), WithCrLf(search_.Text()).c_str());
}

void TOptionsDialog::OnMaskSelected() {
  TDossier* place = CurrentPlace();
  const int index = static_cast<int>(SendMessageA(Item(ids::kMasks), LB_GETCURSEL, 0, 0));
  if (!place || index < 0 || index >= place->GetMasks().Count()) return;
  const TMasque& mask = *place->GetMasks().GetItem(index);
  SetWindowTextA(Item(ids::kMaskText), mask.Text.c_str());
  SendMessageA(Item(ids::kRecursive), BM_SETCHECK, mask.Recursive ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TOptionsDialog::OnAddDrive() {
  HWND drives = Item(ids::kDrives);
  const auto index = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  char drive[MAX_PATH] = {};
  if (index < 0 || SendMessageA(drives, CB_GETLBTEXTLEN, index, 0) >= MAX_PATH ||
      SendMessageA(drives, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(drive)) <= 0)
    return;
  if (TDisque* node = search_.AddDrive(drive[0])) RefreshTree(node);
}

void TOptionsDialog::OnAddFolder() {
  const TArborescense* node = CurrentNode();
  const std::string start = dynamic_cast<const TDossier*>(node) ? node->GetPath() : std::string();
  const std::optional<std::string> folder = PickFolder(hwnd_, t::kPickSearchFolder, start);
  if (!folder) return;
  TDossier* added = search_.AddFolder(*folder);
  if (!added) {
    Complain(t::kBadFolder, ids::kPageSearch, ids::kTree);
    return;
  }
  RefreshTree(added);
}

void TOptionsDialog::OnRemoveNode() {
  TArborescense* node = CurrentNode();
  if (!dynamic_cast<TDossier*>(node)) return;
  // Select the parent afterwards; the computer does not name itself as a drive's parent.
  const TArborescense* parent = dynamic_cast<const TArborescense*>(node->GetParent());
  if (node->GetKind() == kKindDrive) parent = &search_.Root();
  if (search_.Remove(node)) RefreshTree(parent);
}

void TOptionsDialog::ReportMaskEdit(TMaskEdit result, TMaskProblem why) {
  switch (result) {
    case TMaskEdit::Refused: Complain(MaskProblemText(why), ids::kPageSearch, ids::kMaskText); break;
    case TMaskEdit::Duplicate: Complain(t::kMaskDuplicate, ids::kPageSearch, ids::kMaskText); break;
    case TMaskEdit::NoPlace: Complain(t::kChooseMask, ids::kPageSearch, ids::kMasks); break;
    case TMaskEdit::Done: break;
  }
}

void TOptionsDialog::OnMaskCommand(int id) {
  TDossier* place = CurrentPlace();
  if (!place) {
    Complain(t::kChoosePlace, ids::kPageSearch, ids::kTree);
    return;
  }
  const std::string text = Text(ids::kMaskText);
  const bool recursive = Checked(ids::kRecursive);
  const int index = static_cast<int>(SendMessageA(Item(ids::kMasks), LB_GETCURSEL, 0, 0));
  TMaskProblem why = TMaskProblem::None;
  TMaskEdit result = TMaskEdit::Done;
  int select = index;
  if (id == ids::kAddMask) {
    result = search_.AddMask(*place, text, recursive, &why);
    select = place->GetMasks().Count() - 1;
  } else if (id == ids::kEditMask) {
    result = search_.EditMask(*place, index, text, recursive, &why);
  } else {
    result = search_.RemoveMask(*place, index);
    select = -1;
  }
  if (result != TMaskEdit::Done) {
    ReportMaskEdit(result, why);
    return;
  }
  RefreshMasks(select);
  if (id == ids::kRemoveMask) SetWindowTextA(Item(ids::kMaskText), "");
  RefreshDefinitionText();
}


}  // namespace pur::options
