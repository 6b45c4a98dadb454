// quorin-convert: the conversion engine from a terminal.

#include "app/version.h"
#include "cli/cli_commands.h"
#include "cli/cli_options.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = cli::parseArguments(args, error);
    if (!options) {
        std::fprintf(stderr, "quorin-convert: %s\n%s", error.c_str(), cli::usageText().c_str());
        return 2;
    }
    switch (options->command) {
        case cli::Command::Help:
            std::fputs(cli::usageText().c_str(), stdout);
            return 0;
        case cli::Command::Version:
            std::printf("quorin-convert %s\n", app::programVersion().text.c_str());
            return 0;
        case cli::Command::Convert:
            return cli::runConvert(*options);
        case cli::Command::Show:
            return cli::runShowCommand(*options);
        case cli::Command::Probe:
            return cli::runProbe(*options);
        case cli::Command::Demo:
            return cli::runDemo();
        case cli::Command::None:
            break;
    }
    std::fputs(cli::usageText().c_str(), stderr);
    return 2;
}
