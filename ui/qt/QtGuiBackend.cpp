// The program's desktop backend when the Qt GUI is built in.
#include "base/Text.h"
#include "forms/GuiBackend.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtDisplay.h"

namespace t7 {

std::unique_ptr<IFormsBackend> createGuiBackend(int& argc, char** argv, std::wstring& why) {
    std::string reason;
    if (!qt::displayAvailable(reason)) {
        why = fromUtf8(reason);
        return nullptr;
    }
    auto backend = std::make_unique<qt::QtBackend>(argc, argv);
    qt::releaseDisplayProbe();
    return backend;
}

}  // namespace t7
