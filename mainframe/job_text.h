#pragma once
// The engine's sentences about a job in the user's language: a failure or warning names
// its language text (section "Text") and the values for its "%s"; without that text
// (no language file) the English that came with it is used.

#include "convert/child_job.h"

#include <string>
#include <vector>

namespace mainframe {

std::string localizedSentence(const std::string& key, const std::vector<std::string>& args,
                              const std::string& english);
// Why the job failed, for the user. ffmpeg's own words (`detail`) are for the log.
std::string failureSentence(const convert::JobFailure& failure);
std::string warningSentence(const convert::JobWarning& warning);

}  // namespace mainframe
