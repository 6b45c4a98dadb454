#include "cli/cli_options.h"

#include "cli/cli_values.h"
#include "convert/target_formats.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

using convert::ConvertMode;

// More children than this gain nothing: ffmpeg already uses several cores a file.
constexpr int kMaxJobs = 32;

std::optional<double> parseNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string takeCrop(const std::string& value, CliOptions& o) {
    std::array<int, 4> r{};
    std::size_t pos = 0;
    for (int k = 0; k < 4; ++k) {
        std::size_t comma = value.find(',', pos);
        if ((k < 3) != (comma != std::string::npos))
            return "--crop wants X,Y,W,H";
        auto n =
            parseSeconds(value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (!n || value.substr(pos, comma - pos).find(':') != std::string::npos)
            return "--crop wants X,Y,W,H (whole pixels)";
        r[static_cast<std::size_t>(k)] = *n;
        pos = comma + 1;
    }
    if (r[2] <= 0 || r[3] <= 0)
        return "--crop: width and height must be above 0";
    o.crop = r;
    return {};
}

std::optional<ConvertMode> modeFrom(const std::string& text) {
    for (const convert::ModeInfo& info : convert::modeInfos()) {
        if (text == info.name)
            return info.mode;
    }
    return std::nullopt;
}

std::string modeName(ConvertMode mode) {
    return std::string(convert::modeInfo(mode).name);
}

template <typename Rows, typename Name>
std::string joined(const Rows& rows, Name name, const char* separator = "|") {
    std::string out;
    for (const auto& row : rows) {
        const std::string_view text = name(row);
        if (text.empty())
            continue;
        out += (out.empty() ? "" : separator) + std::string(text);
    }
    return out;
}

std::optional<Command> commandFrom(const std::string& word) {
    static const std::pair<const char*, Command> commands[] = {
        {"convert", Command::Convert}, {"command", Command::Show},     {"probe", Command::Probe},
        {"demo", Command::Demo},       {"--help", Command::Help},      {"-h", Command::Help},
        {"help", Command::Help},       {"--version", Command::Version}};
    for (auto [name, command] : commands) {
        if (word == name)
            return command;
    }
    return std::nullopt;
}

bool takesValue(const std::string& key) {
    static const char* const valued[] = {"--mode",
                                         "--format",
                                         "--preset",
                                         "--level",
                                         "--clip",
                                         "--crop",
                                         "--speed",
                                         "--volume",
                                         "--output-dir",
                                         "--name",
                                         "--bitrate-override",
                                         "--fps-override",
                                         "--jobs"};
    for (const char* k : valued) {
        if (key == k)
            return true;
    }
    return false;
}

// Options that take a number from low to high; set() refuses what the command
// could not carry.
struct NumberOption {
    const char* key;
    double low, high;
    const char* wants;  // the error text after the key
    bool (*set)(CliOptions& o, double v);
};

bool setFloat(std::optional<float> f, float& field) {
    if (f)
        field = *f;
    return f.has_value();
}

const NumberOption kNumberOptions[] = {
    // The tempo filter takes 0.5 to 100; a factor the float cannot hold is refused too.
    {"--speed", 0.5, 100, " wants a factor from 0.5 to 100",
     [](CliOptions& o, double v) { return setFloat(positiveFloat(v), o.speed); }},
    {"--volume", 0, 100, " wants a factor above 0, up to 100",
     [](CliOptions& o, double v) { return setFloat(positiveFloat(v), o.volume); }},
    // The command gives the rate in whole kbit/s: less than 1 would be "-b:v 0k".
    {"--bitrate-override", 1, 2e6, " wants kbit/s from 1 to 2000000",
     [](CliOptions& o, double v) {
         o.bitrate_override_bps = bitsPerSecond(v).value_or(0);
         return o.bitrate_override_bps > 0;
     }},
    // The command prints the rate with six decimals; below 0.01 fps is no rate.
    {"--fps-override", 0.01, 1000, " wants a frame rate from 0.01 to 1000",
     [](CliOptions& o, double v) { return setFloat(positiveFloat(v), o.fps_override); }},
};

// The tokens of --format and --preset, checked once the mode is known.
struct TargetTokens {
    std::string format, preset;
};

// One option with its value; the error text, empty when it was taken.
std::string takeOption(const std::string& key, const std::string& value, CliOptions& o,
                       TargetTokens& tokens) {
    for (const NumberOption& n : kNumberOptions) {
        if (key != n.key)
            continue;
        auto v = parseNumber(value);
        if (!v || *v < n.low || *v > n.high || !n.set(o, *v))
            return key + n.wants;
        return {};
    }
    if (key == "--mode") {
        auto mode = modeFrom(value);
        if (!mode)
            return "unknown mode \"" + value + "\"";
        o.mode = *mode;
    } else if (key == "--format") {
        tokens.format = value;
    } else if (key == "--preset") {
        tokens.preset = value;
    } else if (key == "--level") {
        if (value == "low")
            o.level = 0;
        else if (value == "mid")
            o.level = 1;
        else if (value == "high")
            o.level = 2;
        else
            return "unknown level \"" + value + "\" (low, mid or high)";
    } else if (key == "--clip") {
        std::size_t dash = value.find('-');
        auto start = dash == std::string::npos ? std::nullopt : parseSeconds(value.substr(0, dash));
        auto end = dash == std::string::npos ? std::nullopt : parseSeconds(value.substr(dash + 1));
        if (!start || !end)
            return "--clip wants START-END in seconds or H:MM:SS";
        if (*start >= *end)
            return "--clip: the end must come after the start";
        o.clip = std::make_pair(*start, *end);
    } else if (key == "--crop") {
        return takeCrop(value, o);
    } else if (key == "--output-dir") {
        if (value.empty())
            return "--output-dir is empty";
        o.output_dir = value;
    } else if (key == "--name") {
        if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..")
            return "--name wants a file name without folder";
        o.name = value;
    } else if (key == "--jobs") {
        if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) < 1 || std::stoi(value) > kMaxJobs)
            return "--jobs wants a number from 1 to " + std::to_string(kMaxJobs);
        o.jobs = std::stoi(value);
    }
    return {};
}

// The target and the mode-bound options against the mode; the error text or empty.
std::string checkTarget(CliOptions& o, const TargetTokens& tokens) {
    const ConvertMode mode = o.mode;
    if (!tokens.format.empty()) {
        const convert::TargetFormat* f = convert::formatByToken(tokens.format);
        if (!f)
            return "unknown format \"" + tokens.format + "\"";
        if (!convert::modeOffers(mode, *f))
            return "mode " + modeName(mode) + " does not offer the format " + tokens.format;
        o.format = f->id;
    }
    const convert::TargetFormat* format =
        convert::formatById(o.format.value_or(convert::modeInfo(mode).initial_format));
    if (!tokens.preset.empty()) {
        const convert::TargetPreset* p = convert::presetByToken(tokens.preset);
        if (!p)
            return "unknown preset \"" + tokens.preset + "\"";
        if (!format || !convert::presetFits(mode, *format, *p))
            return "the preset " + tokens.preset + " does not go with this format";
        o.preset = p->id;
    }
    if (o.level != 0 && mode != ConvertMode::Compress)
        return "--level is for mode compress";
    if ((o.speed != 1.0f || o.volume != 1.0f) && mode != ConvertMode::Audio2)
        return "--speed and --volume are for mode audio2";
    return {};
}

std::string checkFiles(const CliOptions& o) {
    switch (o.command) {
        case Command::Convert:
        case Command::Probe:
            return o.files.empty() ? "no FILE given" : "";
        case Command::Show:
            return o.files.size() != 1 ? "command takes exactly one FILE" : "";
        case Command::Demo:
            return !o.files.empty() ? "demo takes no FILE" : "";
        default:
            return {};
    }
}

}  // namespace

std::optional<int> parseSeconds(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    long total = 0;
    std::size_t start = 0;
    int parts = 0;
    while (true) {
        std::size_t colon = text.find(':', start);
        std::string part = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        long v = std::strtol(part.c_str(), nullptr, 10);
        if (parts > 0 && v >= 60)
            return std::nullopt;
        total = total * 60 + v;
        if (++parts > 3 || total > 0x7fffffff)
            return std::nullopt;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return static_cast<int>(total);
}

const std::string& usageText() {
    static const std::string text = [] {
        using convert::TargetFormat;
        std::string t =
            "usage: quorin-convert convert [options] FILE...   convert files one after another\n"
            "       quorin-convert command [options] FILE      print the ffmpeg command, run nothing\n"
            "       quorin-convert probe FILE...               print what the probe finds (JSON lines)\n"
            "       quorin-convert demo                        convert a generated sample clip\n"
            "options:\n";
        t += "  --mode " + joined(convert::modeInfos(), [](const auto& m) { return m.name; }) +
             "   (default video)\n";
        t +=
            "  --format " +
            joined(convert::targetFormats(), [](const TargetFormat& f) { return f.id >= 0 ? f.token : ""; }) +
            "\n";
        for (const convert::ModeInfo& m : convert::modeInfos()) {
            std::string name(m.name);
            name.resize(10, ' ');
            t += "      " + name +
                 joined(
                     convert::targetFormats(),
                     [&](const TargetFormat& f) { return modeOffers(m.mode, f) ? f.token : ""; }, " ") +
                 "\n";
        }
        t += "  --preset " + joined(convert::targetPresets(), [](const auto& p) { return p.token; }) + "\n";
        t += "  --level low|mid|high       compression strength (mode compress)\n"
             "  --clip START-END           seconds or H:MM:SS\n"
             "  --crop X,Y,W,H             crop rectangle in source pixels\n"
             "  --speed F  --volume F      tempo and volume factors (mode audio2)\n"
             "  --output-dir DIR           default: the window's output folder\n"
             "  --name NAME                output name without extension\n"
             "  --bitrate-override KBPS    one-shot video bit rate, as the settings dialog sets it\n"
             "  --fps-override F           one-shot frame rate, as the settings dialog sets it\n"
             "  --jobs N                   convert up to N files at once (default 1)\n"
             "  --json                     report progress and results as JSON lines on stdout\n"
             "  --help  --version\n";
        return t;
    }();
    return text;
}

std::optional<CliOptions> parseArguments(const std::vector<std::string>& args, std::string& error) {
    CliOptions o;
    TargetTokens tokens;
    auto fail = [&](std::string why) -> std::optional<CliOptions> {
        error = std::move(why);
        return std::nullopt;
    };
    if (args.empty())
        return fail("no command given");
    const std::optional<Command> command = commandFrom(args[0]);
    if (!command)
        return fail("unknown command \"" + args[0] + "\"");
    o.command = *command;
    bool options_done = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_done || a.rfind("--", 0) != 0) {
            o.files.push_back(a);
            continue;
        }
        if (a == "--") {
            options_done = true;
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string key = a.substr(0, eq);
        if (key == "--help" || key == "--version") {
            o.command = key == "--help" ? Command::Help : Command::Version;
            continue;
        }
        if (a == "--json") {
            o.json = true;
            continue;
        }
        if (!takesValue(key))
            return fail("unknown option " + key);
        std::string value;
        if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return fail(key + " needs a value");
        }
        if (std::string why = takeOption(key, value, o, tokens); !why.empty())
            return fail(why);
    }
    for (std::string why : {checkTarget(o, tokens), checkFiles(o)}) {
        if (!why.empty())
            return fail(why);
    }
    return o;
}

}  // namespace cli
