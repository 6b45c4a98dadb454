#include "cli/cli_options.h"

#include "mainframe/target_resolution.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

using convert::ConvertMode;

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

std::optional<int> formatIndex(const std::string& token) {
    if (token == "origin")
        return mainframe::kFormatCompressOrigin;
    for (const auto& f : mainframe::kFormats) {
        if (!f.token.empty() && f.token == token)
            return f.index;
    }
    return std::nullopt;
}

std::optional<int> presetIndex(const std::string& token) {
    for (const auto& p : mainframe::kPresets) {
        if (p.token == token)
            return p.index;
    }
    return std::nullopt;
}

std::optional<ConvertMode> modeFrom(const std::string& text) {
    static const std::pair<const char*, ConvertMode> modes[] = {
        {"video", ConvertMode::Video}, {"audio2", ConvertMode::Audio2}, {"audio", ConvertMode::Audio},
        {"gif", ConvertMode::Gif},     {"merge", ConvertMode::Merge},   {"compress", ConvertMode::Compress}};
    for (auto [name, mode] : modes) {
        if (text == name)
            return mode;
    }
    return std::nullopt;
}

const char* modeName(ConvertMode mode) {
    static const char* const names[] = {"video", "audio2", "audio", "gif", "merge", "compress"};
    return names[static_cast<int>(mode)];
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

const char* usageText() {
    return "usage: quorin-convert convert [options] FILE...   convert files one after another\n"
           "       quorin-convert command [options] FILE      print the ffmpeg command, run nothing\n"
           "       quorin-convert probe FILE...               print what the probe finds (JSON lines)\n"
           "       quorin-convert demo                        convert a generated sample clip\n"
           "options:\n"
           "  --mode video|audio2|audio|gif|merge|compress   (default video)\n"
           "  --format mp4|mkv|avi|wmv|flv|mov|webm|gif|mp3|m4a|wav|wma|aac|flac|ac3|m4r|ogg|origin\n"
           "  --preset origin|1080|720|dvd|tv|phone|256|128|96\n"
           "  --level low|mid|high       compression strength (mode compress)\n"
           "  --clip START-END           seconds or H:MM:SS\n"
           "  --crop X,Y,W,H             crop rectangle in source pixels\n"
           "  --speed F  --volume F      tempo and volume factors (mode audio2)\n"
           "  --output-dir DIR           default: the window's output folder\n"
           "  --name NAME                output name without extension\n"
           "  --bitrate-override KBPS    one-shot video bit rate, as the settings dialog sets it\n"
           "  --fps-override F           one-shot frame rate, as the settings dialog sets it\n"
           "  --help  --version\n";
}

std::optional<CliOptions> parseArguments(const std::vector<std::string>& args, std::string& error) {
    CliOptions o;
    std::string format_token, preset_token;
    auto fail = [&](std::string why) -> std::optional<CliOptions> {
        error = std::move(why);
        return std::nullopt;
    };
    std::size_t i = 0;
    if (!args.empty()) {
        const std::string& c = args[0];
        if (c == "convert")
            o.command = Command::Convert;
        else if (c == "command")
            o.command = Command::Show;
        else if (c == "probe")
            o.command = Command::Probe;
        else if (c == "demo")
            o.command = Command::Demo;
        else if (c == "--help" || c == "-h" || c == "help")
            o.command = Command::Help;
        else if (c == "--version")
            o.command = Command::Version;
        else
            return fail("unknown command \"" + c + "\"");
        ++i;
    }
    if (o.command == Command::None)
        return fail("no command given");
    bool options_done = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_done || a.rfind("--", 0) != 0) {
            o.files.push_back(a);
            continue;
        }
        if (a == "--") {
            options_done = true;
            continue;
        }
        std::string key = a, value;
        bool has_value = false;
        if (std::size_t eq = a.find('='); eq != std::string::npos) {
            key = a.substr(0, eq);
            value = a.substr(eq + 1);
            has_value = true;
        }
        if (key == "--help") {
            o.command = Command::Help;
            continue;
        }
        if (key == "--version") {
            o.command = Command::Version;
            continue;
        }
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
                                             "--fps-override"};
        bool known = false;
        for (const char* k : valued)
            known = known || key == k;
        if (!known)
            return fail("unknown option " + key);
        if (!has_value) {
            if (i + 1 >= args.size())
                return fail(key + " needs a value");
            value = args[++i];
        }
        if (key == "--mode") {
            auto mode = modeFrom(value);
            if (!mode)
                return fail("unknown mode \"" + value + "\"");
            o.mode = *mode;
        } else if (key == "--format") {
            format_token = value;
        } else if (key == "--preset") {
            preset_token = value;
        } else if (key == "--level") {
            if (value == "low")
                o.level = 0;
            else if (value == "mid")
                o.level = 1;
            else if (value == "high")
                o.level = 2;
            else
                return fail("unknown level \"" + value + "\" (low, mid or high)");
        } else if (key == "--clip") {
            std::size_t dash = value.find('-');
            auto start = dash == std::string::npos ? std::nullopt : parseSeconds(value.substr(0, dash));
            auto end = dash == std::string::npos ? std::nullopt : parseSeconds(value.substr(dash + 1));
            if (!start || !end)
                return fail("--clip wants START-END in seconds or H:MM:SS");
            if (*start >= *end)
                return fail("--clip: the end must come after the start");
            o.clip = std::make_pair(*start, *end);
        } else if (key == "--crop") {
            std::array<int, 4> r{};
            std::size_t pos = 0;
            for (int k = 0; k < 4; ++k) {
                std::size_t comma = value.find(',', pos);
                if ((k < 3) != (comma != std::string::npos))
                    return fail("--crop wants X,Y,W,H");
                auto n = parseSeconds(
                    value.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
                if (!n || value.substr(pos, comma - pos).find(':') != std::string::npos)
                    return fail("--crop wants X,Y,W,H (whole pixels)");
                r[static_cast<std::size_t>(k)] = *n;
                pos = comma + 1;
            }
            if (r[2] <= 0 || r[3] <= 0)
                return fail("--crop: width and height must be above 0");
            o.crop = r;
        } else if (key == "--speed" || key == "--volume") {
            auto v = parseNumber(value);
            if (!v || *v <= 0 || *v > 100)
                return fail(key + " wants a factor above 0");
            (key == "--speed" ? o.speed : o.volume) = static_cast<float>(*v);
        } else if (key == "--output-dir") {
            if (value.empty())
                return fail("--output-dir is empty");
            o.output_dir = value;
        } else if (key == "--name") {
            if (value.empty() || value.find('/') != std::string::npos || value == "." || value == "..")
                return fail("--name wants a file name without folder");
            o.name = value;
        } else if (key == "--bitrate-override") {
            auto v = parseNumber(value);
            if (!v || *v <= 0 || *v > 2e6)
                return fail("--bitrate-override wants kbit/s above 0");
            o.bitrate_override_bps = static_cast<std::int64_t>(*v * 1000);
        } else if (key == "--fps-override") {
            auto v = parseNumber(value);
            if (!v || *v <= 0 || *v > 1000)
                return fail("--fps-override wants a frame rate above 0");
            o.fps_override = static_cast<float>(*v);
        }
    }

    const ConvertMode mode = o.mode;
    if (!format_token.empty()) {
        auto f = formatIndex(format_token);
        if (!f)
            return fail("unknown format \"" + format_token + "\"");
        if (!mainframe::modeOffersFormat(mode, *f))
            return fail("mode " + std::string(modeName(mode)) + " does not offer the format " + format_token);
        o.format = *f;
    }
    const int format = o.format.value_or(mainframe::kInitialModeFormat[static_cast<std::size_t>(mode)]);
    if (!preset_token.empty()) {
        auto p = presetIndex(preset_token);
        if (!p)
            return fail("unknown preset \"" + preset_token + "\"");
        const bool audio_format =
            format >= mainframe::kFirstAudioFormat && format != mainframe::kFormatCompressOrigin;
        const bool fits = *p == 0 || (audio_format ? *p >= 6 : *p <= 5);
        if (!fits || (mode == ConvertMode::Compress && *p != 0))
            return fail("the preset " + preset_token + " does not go with this format");
        o.preset = *p;
    }
    if (o.level != 0 && mode != ConvertMode::Compress)
        return fail("--level is for mode compress");
    if ((o.speed != 1.0f || o.volume != 1.0f) && mode != ConvertMode::Audio2)
        return fail("--speed and --volume are for mode audio2");

    switch (o.command) {
        case Command::Convert:
        case Command::Probe:
            if (o.files.empty())
                return fail("no FILE given");
            break;
        case Command::Show:
            if (o.files.size() != 1)
                return fail("command takes exactly one FILE");
            break;
        case Command::Demo:
            if (!o.files.empty())
                return fail("demo takes no FILE");
            break;
        default:
            break;
    }
    return o;
}

}  // namespace cli
