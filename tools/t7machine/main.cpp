// t7machine: creates and inspects machine folders.
#include <iostream>

int main(int argc, char** argv) {
    std::cerr << "usage: t7machine init|reg DIR" << std::endl;
    return 2;
}
