#pragma once
// Readers of cd.dat, the server-provided configuration in the data folder. Each call
// opens the file afresh, so a cd.dat replaced while the program runs counts at once.
// A missing file, section or key gives the default.

#include <filesystem>
#include <string>

namespace app::cddat {

// dataDir()/cd.dat.
std::filesystem::path path();

int openUninstallFeedback();  // "Config" "OpenUninstallFeedback", default 1
int openTutorial();           // "Config" "OpenTutorial", default 1
int toolbox();                // "Config" "Toolbox", default 1
int useCurlPlus();            // "Config" "UseCurlPlus", default 1
int formatAnalysis();         // "Option" "FormatAnalysis", default 1
// "Config" "SupportFormat1".."SupportFormat4"; empty when absent.
std::string supportFormat(int n);

}  // namespace app::cddat
