#include "mainframe/job_text.h"

#include "app/language.h"

namespace mainframe {

std::string localizedSentence(const std::string& key, const std::vector<std::string>& args,
                              const std::string& english) {
    if (key.empty())
        return english;
    const std::string text = app::getText(key);
    return text.empty() ? english : app::fillTextFormat(text, args);
}

std::string failureSentence(const convert::JobFailure& failure) {
    return localizedSentence(failure.key, failure.args, failure.text);
}

std::string warningSentence(const convert::JobWarning& warning) {
    return localizedSentence(warning.key, warning.args, warning.text);
}

}  // namespace mainframe
