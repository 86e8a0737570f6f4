#include "database/DatabaseComponent.h"

#include "base/AppError.h"
#include "database/BatchSplitter.h"

namespace t7::dmo {

const std::wstring& NameList::Item(int32_t position) const {
    if (position < 1 || position > Count()) {
        throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
    }
    return m_names[static_cast<size_t>(position - 1)];
}

int32_t notConnectedError() {
    return databaseComponentError(0);
}

void raiseNotConnected() {
    throw AppError(notConnectedError(), L"The server object is not connected to a server.");
}

void executeScript(const std::wstring& script, int32_t executionType,
                   const std::function<void(const std::wstring& batch)>& runBatch) {
    if (executionType != ExecDefault) {
        throw AppError(errnum::InvalidProcedureCall,
                       L"Unsupported execution type " + std::to_wstring(executionType));
    }
    for (const std::wstring& batch : splitBatches(script)) runBatch(batch);
}

}  // namespace t7::dmo
