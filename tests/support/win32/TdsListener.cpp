// Windows test programs have no TDS listener (see support/TdsListener.h).
#include "support/TdsListener.h"

#include <stdexcept>

namespace t7::test {

TdsListener::TdsListener(const std::filesystem::path&, uint16_t) {
    throw std::runtime_error(
        "no TDS listener in the Windows test programs: the run over ODBC under Wine is "
        "tests/shell/WineOdbcRun.sh");
}

TdsListener::~TdsListener() = default;

std::wstring TdsListener::odbcAttributesFor(uint16_t port) {
    return L"Driver={FreeTDS};Port=" + std::to_wstring(port) + L";TDS_Version=7.4";
}

}  // namespace t7::test
