// The wizard's program. Until the pages exist it reads its command line and
// reports where it stands.
#include <iostream>
#include <string>

#include "base/Text.h"

int main(int argc, char** argv) {
    std::cout << "T7Setup 2.1.0025" << std::endl;
    for (int i = 1; i < argc; ++i) {
        std::cout << "argument " << i << ": " << argv[i] << std::endl;
    }
    if (argc < 3) {
        std::cout << t7::toUtf8(L"程序运行缺少参数！") << std::endl;
        return 1;
    }
    return 0;
}
