#pragma once
// Where windows get their layouts and images: one process-wide skin, either a
// password-protected ZIP archive (the shipped form) or a plain folder (while
// editing layouts). Also holds the two other process-wide look settings: the
// display scale and whether windows draw a drop shadow. GUI thread only, except
// read(), which is safe from any thread.

#include <QByteArray>
#include <QHash>
#include <QPixmap>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

// The password every skin archive is encrypted with.
inline constexpr const char* kSkinPassword = "mpk5162x8vwtz@hb";

class Skin {
public:
    Skin();
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Opens `archive` with `password`. False (and the previous skin kept) when the
    // file is missing, is no ZIP, or the password does not open a test entry.
    bool openArchive(const std::filesystem::path& archive, const std::string& password = kSkinPassword);
    // Reads layouts and images from a folder instead.
    bool openFolder(const std::filesystem::path& folder);
    void close();
    bool isOpen() const;

    // A second source read before the skin (a tool package while its popup is open);
    // what it lacks still comes from the skin. Its images are cached apart.
    using Overlay = std::function<std::optional<QByteArray>(std::string_view name)>;
    void setOverlay(Overlay overlay);
    void clearOverlay() { setOverlay({}); }

    // The bytes of an entry ("dlg_message.xml", "images/close.png"); nothing when it
    // is missing or cannot be decrypted. Leading "./" and "/" are ignored.
    std::optional<QByteArray> read(std::string_view name) const;
    // An image of the skin, or a file path when `full_path`; cached. Null pixmap when
    // missing.
    QPixmap image(const std::string& name, bool full_path = false);

    // The scale in percent of every layout unit (100 at 96 DPI).
    int scalePercent() const { return scale_dpi_ * 100 / 96; }
    int scaleDpi() const { return scale_dpi_; }
    void setScaleDpi(int dpi) { scale_dpi_ = dpi; }
    // Layout units to device-independent pixels.
    int scaled(int units) const { return units * scale_dpi_ / 96; }

    bool shadowEnabled() const { return shadow_; }
    void setShadowEnabled(bool on) { shadow_ = on; }

private:
    struct Archive;
    mutable std::mutex mutex_;  // guards archive_ and folder_ (read() may come from workers)
    std::unique_ptr<Archive> archive_;
    std::filesystem::path folder_;
    Overlay overlay_;                 // guarded by mutex_
    int overlay_gen_ = 0;             // guarded by mutex_: keeps overlay images apart in the cache
    QHash<QString, QPixmap> images_;  // GUI thread only
    int scale_dpi_ = 96;
    bool shadow_ = true;
};

// The process's skin.
Skin& skin();

// The display rule of start-up: which scale a monitor of `dpi` gets
// (<120 → 96, <144 → 120, <192 → 144, else 192).
int scaleDpiFor(int dpi);

}  // namespace ui
