// Language files. The first byte picks the half: the reader walks any stream bytes
// and any compound file without fault; the writer's accepted sections read back
// entry by entry.
#include "app/language_file.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

void readAnything(const std::string& bytes) {
    const std::u16string text = app::decodeLanguageStream(bytes);
    for (const auto& [key, value] : app::listLanguageEntries(text))
        if (value.size() > app::kLanguageValueMaxUnits || !app::findLanguageEntry(text, key))
            std::abort();
    if (auto stream = app::readLanguageStreamFrom(bytes, "Text"))
        (void)app::listLanguageEntries(app::decodeLanguageStream(*stream));
}

void writeAndReadBack(FuzzedDataProvider& in) {
    std::vector<app::LanguageSection> sections(in.ConsumeIntegralInRange<int>(1, 3));
    for (auto& section : sections) {
        section.name = in.ConsumeRandomLengthString(40);
        const int entries = in.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < entries; ++i) {
            std::string key = in.ConsumeRandomLengthString(16);
            section.entries.emplace_back(key, in.ConsumeRandomLengthString(300));
        }
    }
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("fuzz_language_" + std::to_string(getpid()) + ".dat");
    if (!app::writeLanguageFile(file, sections))
        return;
    for (const auto& section : sections) {
        auto stream = app::readLanguageStream(file, section.name);
        if (!stream)
            std::abort();
        const std::u16string text = app::decodeLanguageStream(*stream);
        for (const auto& [key, value] : section.entries) {
            // The first entry with the same key (as the file stores it) wins.
            const std::u16string wide_key = app::utf8ToUtf16(key);
            std::u16string expected;
            for (const auto& [k, v] : section.entries)
                if (app::utf8ToUtf16(k) == wide_key) {
                    expected = app::utf8ToUtf16(v);
                    break;
                }
            auto found = app::findLanguageEntry(text, wide_key);
            if (!found || expected.compare(0, found->size(), *found) != 0 ||
                (found->size() < expected.size() && found->size() + 1 < app::kLanguageValueMaxUnits))
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        readAnything(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        FuzzedDataProvider in(data + 1, size - 1);
        writeAndReadBack(in);
    }
    return 0;
}
