#pragma once
// The seam through which the program picks its desktop backend. The GUI
// library linked into t7setup (ui/qt) defines createGuiBackend; a build
// without it links a definition that always declines.
#include <memory>
#include <string>

#include "forms/Backend.h"

namespace t7 {

// Returns the backend, or nullptr with `why` saying what is missing (no
// display, no GUI built). `argc`/`argv` are the program's, for toolkits that
// read their own options; they are not changed for the wizard's sake.
std::unique_ptr<IFormsBackend> createGuiBackend(int& argc, char** argv, std::wstring& why);

}  // namespace t7
