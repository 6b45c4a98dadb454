#include "mainframe/path_batch.h"

#include "mainframe/task_lists.h"

#include <algorithm>
#include <filesystem>

namespace mainframe {

namespace fs = std::filesystem;

PathBatch sortPaths(const std::vector<std::string>& paths, std::string_view patterns) {
    PathBatch batch;
    auto take = [&](const std::string& file) {
        if (dropAccepted(file, patterns))
            batch.accepted.push_back(file);
        else
            ++batch.refused;
    };
    for (const std::string& path : paths) {
        std::error_code ec;
        if (!fs::is_directory(path, ec)) {
            take(path);
            continue;
        }
        std::vector<std::string> files;
        for (const auto& entry :
             fs::directory_iterator(path, fs::directory_options::skip_permission_denied, ec)) {
            std::error_code type_ec;
            if (entry.is_regular_file(type_ec))
                files.push_back(entry.path().string());
        }
        std::sort(files.begin(), files.end());
        if (files.empty())
            ++batch.refused;
        for (const std::string& file : files)
            take(file);
    }
    return batch;
}

RefusedMessage refusedMessage(const PathBatch& batch) {
    if (batch.accepted.empty())
        return {"NoSupport", batch.refused};
    if (batch.refused > 0)
        return {"NoSupportCount", batch.refused};
    return {};
}

}  // namespace mainframe
