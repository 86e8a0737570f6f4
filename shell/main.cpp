// The wizard's program. Until the pages exist it reads its command line and
// the local addresses, and reports where it stands.
#include <iostream>
#include <string>

#include "base/AppError.h"
#include "base/Text.h"
#include "shell/CommandLine.h"
#include "shell/Global.h"
#include "shell/ProcessService.h"
#include "web/NetworkInfoService.h"
#include "web/mdlIPArray.h"

int main(int argc, char** argv) {
    std::cout << "T7Setup 2.1.0025" << std::endl;

    t7::ProcessValues values;
    auto network = t7::makeNetworkInfoService();
    try {
        t7::mdlIPArray::LoadIPArray(values, *network);
    } catch (const t7::AppError& e) {
        std::cout << "address list: " << e.what() << std::endl;
    }
    values.IPArray.push_back(t7::mdlIPArray::GetLocalComputerName(*network));
    for (size_t i = 0; i < values.IPArray.size(); ++i) {
        std::cout << "address " << i << ": " << t7::toUtf8(values.IPArray[i]) << std::endl;
    }

    auto process = t7::makeProcessService(argc, argv);
    const auto args = t7::SplitCommandLine(*process);
    for (size_t i = 1; i < args.size(); ++i) {
        std::cout << "argument " << i << ": " << t7::toUtf8(args[i]) << std::endl;
    }
    if (args.size() < 3) {
        std::cout << t7::toUtf8(L"程序运行缺少参数！请用命令行运行,格式:\"程序名 + 空格 + 页面物理路径\"")
                  << std::endl;
        return 1;
    }
    return 0;
}
