#include "ui/skin.h"

#include <zip.h>

#include <QFile>

namespace ui {

struct Skin::Archive {
    zip_t* zip = nullptr;
    ~Archive() {
        if (zip)
            zip_discard(zip);
    }
};

Skin::Skin() = default;
Skin::~Skin() = default;

Skin& skin() {
    static Skin instance;
    return instance;
}

int scaleDpiFor(int dpi) {
    if (dpi >= 192)
        return 192;
    if (dpi >= 144)
        return 144;
    if (dpi < 120)
        return 96;
    return 120;
}

// Entry names are relative to the archive root; layouts written for a folder tree
// ("../default/images/x.png") climb out of it and back in.
static std::string entryName(std::string_view text) {
    std::string name = std::filesystem::path(text).lexically_normal().generic_string();
    // "../<skin folder>/x" names the skin's own folder, which is the archive root.
    while (name.starts_with("../")) {
        name.erase(0, 3);
        auto slash = name.find('/');
        name.erase(0, slash == std::string::npos ? name.size() : slash + 1);
    }
    while (name.starts_with("/"))
        name.erase(0, 1);
    return name;
}

static std::optional<QByteArray> readEntry(zip_t* zip, std::string_view name) {
    std::string key(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip, key.c_str(), ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return std::nullopt;
    if (st.size > 64u * 1024 * 1024)
        return std::nullopt;  // no skin entry is this large
    zip_file_t* file = zip_fopen(zip, key.c_str(), 0);
    if (!file)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    zip_int64_t got = zip_fread(file, bytes.data(), st.size);
    zip_fclose(file);
    if (got != static_cast<zip_int64_t>(st.size))
        return std::nullopt;  // wrong password or damage
    return bytes;
}

bool Skin::openArchive(const std::filesystem::path& archive, const std::string& password) {
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!zip)
        return false;
    auto opened = std::make_unique<Archive>();
    opened->zip = zip;
    if (zip_set_default_password(zip, password.c_str()) != 0)
        return false;
    // A wrong password shows on the first encrypted entry: check one now.
    if (zip_get_num_entries(zip, 0) > 0) {
        const char* first = zip_get_name(zip, 0, 0);
        if (first && !std::string_view(first).ends_with("/") && !readEntry(zip, first))
            return false;
    }
    std::lock_guard lock(mutex_);
    archive_ = std::move(opened);
    folder_.clear();
    images_.clear();
    return true;
}

bool Skin::openFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    std::lock_guard lock(mutex_);
    archive_.reset();
    folder_ = folder;
    images_.clear();
    return true;
}

void Skin::close() {
    std::lock_guard lock(mutex_);
    archive_.reset();
    folder_.clear();
    images_.clear();
}

bool Skin::isOpen() const {
    std::lock_guard lock(mutex_);
    return archive_ || !folder_.empty();
}

void Skin::setOverlay(Overlay overlay) {
    std::lock_guard lock(mutex_);
    overlay_ = std::move(overlay);
    ++overlay_gen_;
}

std::optional<QByteArray> Skin::read(std::string_view name) const {
    std::string key = entryName(name);
    if (key.empty() || key == "." || key.starts_with(".."))
        return std::nullopt;
    std::lock_guard lock(mutex_);
    if (overlay_) {
        if (auto bytes = overlay_(key))
            return bytes;
    }
    if (archive_)
        return readEntry(archive_->zip, key);
    if (folder_.empty())
        return std::nullopt;
    QFile file(QString::fromStdString((folder_ / key).string()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QPixmap Skin::image(const std::string& name, bool full_path) {
    QString key =
        (full_path ? QStringLiteral("full:") : QStringLiteral("skin:")) + QString::fromStdString(name);
    if (!full_path) {
        std::lock_guard lock(mutex_);
        if (overlay_ && overlay_(entryName(name)))
            key = QStringLiteral("overlay%1:").arg(overlay_gen_) + QString::fromStdString(name);
    }
    auto found = images_.find(key);
    if (found != images_.end())
        return *found;
    QPixmap pixmap;
    if (full_path) {
        pixmap.load(QString::fromStdString(name));
    } else if (auto bytes = read(name)) {
        pixmap.loadFromData(*bytes);
    }
    images_.insert(key, pixmap);
    return pixmap;
}

}  // namespace ui
