// trelmctl: the device's files from the command line, through libtrelm's C API.
#include "Tool.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return trelmctl::Tool().Run(args);
}
