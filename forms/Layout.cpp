#include "forms/Layout.h"

namespace t7 {

const ControlSpec* FormLayout::find(const std::wstring& controlName) const {
    for (const ControlSpec& spec : controls) {
        if (spec.name == controlName) return &spec;
    }
    return nullptr;
}

}  // namespace t7
