// keyloupe-jet: see JetTool.h.
#include "keyloupe-jet/JetTool.h"

#include <iostream>

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return jettool::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
