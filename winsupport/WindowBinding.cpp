#include "WindowBinding.h"

namespace pur {

void BindWindowObject(HWND window, void* object) {
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

}  // namespace pur
