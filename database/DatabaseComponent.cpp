#include "database/DatabaseComponent.h"

#include "base/AppError.h"
#include "base/Text.h"
#include "database/BatchSplitter.h"

namespace t7::dmo {

const std::wstring& NameList::Item(int32_t position) const {
    return nameAt(m_names, position);
}

void raiseServerError(int32_t number, const std::wstring& message) {
    throw AppError(databaseComponentError(number), message);
}

void raiseUnreachable() {
    raiseServerError(servererror::DoesNotExist, L"SQL Server does not exist or access denied.");
}

void raiseDatabaseNotFound(const std::wstring& name) {
    raiseServerError(
        servererror::DatabaseNotFound,
        L"Database '" + name + L"' does not exist. Make sure that the name is entered correctly.");
}

void raiseLoginNotFound(const std::wstring& name) {
    raiseServerError(
        servererror::LoginNotFound,
        L"Cannot find the login '" + name + L"', because it does not exist or you do not have permission.");
}

const std::wstring& nameAt(const std::vector<std::wstring>& names, int32_t position) {
    if (position < 1 || position > static_cast<int32_t>(names.size())) {
        throw AppError(errnum::SubscriptOutOfRange, L"Subscript out of range");
    }
    return names[static_cast<size_t>(position - 1)];
}

const std::wstring& databaseNamed(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& n : names) {
        if (equalsIgnoreCase(n, name)) return n;
    }
    raiseDatabaseNotFound(name);
}

int32_t notConnectedError() {
    return databaseComponentError(0);
}

void raiseNotConnected() {
    throw AppError(notConnectedError(), L"The server object is not connected to a server.");
}

void raiseLoginOnServer() {
    throw AppError(errnum::InvalidProcedureCall, L"A login on the server cannot be renamed.");
}

void raiseNotANewLogin() {
    throw AppError(errnum::InvalidProcedureCall, L"Only a new login object can be added.");
}

std::vector<std::wstring> scriptBatches(const std::wstring& script, int32_t executionType) {
    if (executionType != ExecDefault) {
        throw AppError(errnum::InvalidProcedureCall,
                       L"Unsupported execution type " + std::to_wstring(executionType));
    }
    return splitBatches(script);
}

void executeScript(const std::wstring& script, int32_t executionType,
                   const std::function<void(const std::wstring& batch)>& runBatch) {
    for (const std::wstring& batch : scriptBatches(script, executionType)) runBatch(batch);
}

}  // namespace t7::dmo
