// Linked into t7setup when no GUI library is built: the desktop backend is
// then never available.
#include "forms/GuiBackend.h"

namespace t7 {

std::unique_ptr<IFormsBackend> createGuiBackend(int&, char**, std::wstring& why) {
    why = L"this build of T7Setup has no graphical user interface";
    return nullptr;
}

}  // namespace t7
