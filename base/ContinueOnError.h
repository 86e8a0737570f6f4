#pragma once
// Continue-on-error mode: each step runs; a step that raises is skipped and
// its error is kept in the indicator until clear() is called. The routine
// tests the indicator where it must.
#include <cstdint>
#include <string>
#include <utility>

#include "base/AppError.h"

namespace t7 {

class ContinueOnError {
public:
    // Runs one step. An AppError (or any std::exception, recorded with
    // number 5, invalid procedure call) sets the indicator; the first error
    // after a clear() is the one kept, later ones overwrite it as the
    // runtime's error object would.
    template <class Step>
    void run(Step&& step) {
        try {
            std::forward<Step>(step)();
        } catch (const AppError& e) {
            record(e.number(), e.description());
        } catch (const std::exception& e) {
            recordStd(e);
        }
    }

    bool failed() const { return m_number != 0; }
    int32_t number() const { return m_number; }
    const std::wstring& description() const { return m_description; }
    void clear() {
        m_number = 0;
        m_description.clear();
    }

private:
    void record(int32_t number, const std::wstring& description);
    void recordStd(const std::exception& e);

    int32_t m_number = 0;
    std::wstring m_description;
};

}  // namespace t7
