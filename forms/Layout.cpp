#include "forms/Layout.h"

namespace t7 {

const ControlDef* FormLayout::find(const std::wstring& controlName) const {
    for (const ControlDef& def : controls) {
        if (def.name == controlName) return &def;
    }
    return nullptr;
}

}  // namespace t7
