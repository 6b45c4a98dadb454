// skinpack <skin folder> <lang/code.txt> <skin/skin_code.skin>
// Packs every file below the skin folder into one password-protected archive, with
// the "%{Key}" placeholders of the XML layouts replaced by the language's texts.

#include "app/skin_select.h"
#include "lang_source.h"
#include "platform/strings.h"

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string xmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '\n':
                out += "&#10;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// "%{Key}" -> the escaped "Text" value of Key; an unknown key gives "".
std::string fillLayout(std::string_view xml, const std::vector<app::LanguageSection>& language) {
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t open = xml.find("%{", pos);
        std::size_t close = open == std::string_view::npos ? open : xml.find('}', open + 2);
        if (close == std::string_view::npos)
            break;
        out.append(xml, pos, open - pos);
        std::string_view key = xml.substr(open + 2, close - open - 2);
        out += xmlEscape(tools::findValue(language, "Text", key).value_or(""));
        pos = close + 1;
    }
    out.append(xml.substr(pos));
    return out;
}

bool readAll(const fs::path& file, std::string& data) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    data = text.str();
    return static_cast<bool>(in) || in.eof();
}

bool endsWithXml(const fs::path& file) {
    return platform::lower(file.extension().string()) == ".xml";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: skinpack <skin folder> <source.txt> <output.skin>\n");
        return 2;
    }
    const fs::path skin_dir(argv[1]), out(argv[3]);
    std::string error;
    auto language = tools::readLanguageSource(argv[2], &error);
    if (!language) {
        std::fprintf(stderr, "skinpack: %s\n", error.c_str());
        return 1;
    }
    if (!zip_encryption_method_supported(ZIP_EM_TRAD_PKWARE, 1)) {
        std::fprintf(stderr, "skinpack: this libzip cannot write traditional PKWARE encryption\n");
        return 1;
    }

    // Sorted, so the same sources always give the same archive.
    std::vector<fs::path> files;
    std::error_code ec, missing;
    if (fs::is_directory(skin_dir, missing)) {
        for (auto it = fs::recursive_directory_iterator(skin_dir, ec); !ec && it != fs::end(it);
             it.increment(ec))
            if (it->is_regular_file(ec))
                files.push_back(it->path());
    }
    if (ec) {
        std::fprintf(stderr, "skinpack: %s: %s\n", skin_dir.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());

    std::error_code ignored;
    if (out.has_parent_path())
        fs::create_directories(out.parent_path(), ignored);
    const fs::path temp = out.string() + ".part";
    fs::remove(temp, ignored);
    int zerr = 0;
    zip_t* archive = zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &zerr);
    if (!archive) {
        std::fprintf(stderr, "skinpack: cannot create %s (libzip error %d)\n", temp.c_str(), zerr);
        return 1;
    }
    const std::string password(app::kSkinArchivePassword);
    // libzip reads the buffers only at zip_close, so they must live until then.
    std::deque<std::string> contents;
    auto add = [&](const std::string& name, std::string data) {
        contents.push_back(std::move(data));
        zip_source_t* source = zip_source_buffer(archive, contents.back().data(), contents.back().size(), 0);
        if (!source)
            return false;
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        auto i = static_cast<zip_uint64_t>(index);
        // No zip_file_set_mtime: this libzip derives the encryption check byte from
        // the source's own time, so a changed time makes the password fail.
        return zip_file_set_encryption(archive, i, ZIP_EM_TRAD_PKWARE, password.c_str()) == 0;
    };
    bool ok = true;
    for (const auto& file : files) {
        std::string data;
        if (!readAll(file, data)) {
            std::fprintf(stderr, "skinpack: cannot read %s\n", file.c_str());
            ok = false;
            break;
        }
        if (endsWithXml(file))
            data = fillLayout(data, *language);
        if (!add(fs::relative(file, skin_dir).generic_string(), std::move(data))) {
            std::fprintf(stderr, "skinpack: %s: %s\n", file.c_str(), zip_strerror(archive));
            ok = false;
            break;
        }
    }
    // A ZIP without entries is not written at all; an empty skin folder still gets
    // a valid archive that names its language.
    if (ok && files.empty())
        ok = add("skin.info", "language=" + fs::path(argv[2]).stem().string() + "\n");
    if (!ok) {
        zip_discard(archive);
        return 1;
    }
    if (zip_close(archive) != 0) {
        std::fprintf(stderr, "skinpack: %s: %s\n", temp.c_str(), zip_strerror(archive));
        zip_discard(archive);
        return 1;
    }
    fs::rename(temp, out, ec);
    if (ec) {
        std::fprintf(stderr, "skinpack: %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    return 0;
}
