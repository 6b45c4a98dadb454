#include "app/version.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("quorin-convert %s\n", app::programVersion().text.c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: quorin-convert --version\n");
    return 2;
}
