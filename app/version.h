#pragma once
// The program version and the campaign and partner tags of the installation.

#include "platform/registry.h"

#include <optional>
#include <string>

namespace app {

struct ProgramVersion {
    std::string text;  // "1.2.3.4"
    int numeric = 0;   // first three parts written one after another: 1.2.3.x gives 123
};

// From the build (the stand-in for the version resource).
ProgramVersion programVersion();
// `built_in` is the version text of the build; without it the text comes from the
// user store's "Version" value and the numeric version stays 0.
ProgramVersion versionFrom(const std::optional<std::string>& built_in, const platform::RegistryStore& user);

// "adid": the user store's value, else the text after the first '-' of the
// installer's file name (machine store "InstallerName", extension removed), stored
// in the user store when not empty.
std::string campaignTag(platform::RegistryStore& user, const platform::RegistryStore& machine);
// "partner": likewise with the text after the first '_'.
std::string partnerTag(platform::RegistryStore& user, const platform::RegistryStore& machine);

}  // namespace app
