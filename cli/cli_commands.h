#pragma once
// The sub-commands of quorin-convert. Each returns the process exit status:
// 0 success, 1 a file failed, 2 usage error, 130 stopped by Ctrl-C.

#include "cli/cli_options.h"

#include <string>

namespace cli {

int runConvert(const CliOptions& options);
int runShowCommand(const CliOptions& options);
int runProbe(const CliOptions& options);
int runDemo();

// The probe result of one file as one JSON object (no line end).
std::string probeJson(const std::string& file);

}  // namespace cli
