#pragma once
// The error number a step raises as t7::AppError, 0 when it raises none.
#include <cstdint>
#include <functional>

#include "base/AppError.h"

namespace t7::test {

inline int32_t errorNumberOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace t7::test
