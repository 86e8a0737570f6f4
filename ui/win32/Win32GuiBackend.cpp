// The program's desktop backend on Windows: native windows, always there.
#include "forms/GuiBackend.h"
#include "ui/win32/Win32Backend.h"

namespace t7 {

std::unique_ptr<IFormsBackend> createGuiBackend(int&, char**, std::wstring&) {
    return std::make_unique<win32::Win32Backend>();
}

}  // namespace t7
