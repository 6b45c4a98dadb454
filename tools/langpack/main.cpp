// langpack <lang/code.txt> <language/code.dat>
// Builds one language file from its readable source.

#include "app/language_file.h"
#include "lang_source.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: langpack <source.txt> <output.dat>\n");
        return 2;
    }
    std::string error;
    auto sections = tools::readLanguageSource(argv[1], &error);
    if (!sections) {
        std::fprintf(stderr, "langpack: %s\n", error.c_str());
        return 1;
    }
    std::filesystem::path out(argv[2]);
    std::error_code ec;
    if (out.has_parent_path())
        std::filesystem::create_directories(out.parent_path(), ec);
    if (!app::writeLanguageFile(out, *sections, &error)) {
        std::fprintf(stderr, "langpack: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
