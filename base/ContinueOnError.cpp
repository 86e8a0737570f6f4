#include "base/ContinueOnError.h"

#include "base/Text.h"

namespace t7 {

void ContinueOnError::record(int32_t number, const std::wstring& description) {
    // A raised error always has a non-zero number; keep the indicator set
    // even for a platform error that carried 0.
    m_number = number != 0 ? number : errnum::InvalidProcedureCall;
    m_description = description;
}

void ContinueOnError::recordStd(const std::exception& e) {
    record(errnum::InvalidProcedureCall, fromUtf8(e.what()));
}

}  // namespace t7
