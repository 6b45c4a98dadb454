#include "online/gui/toolbox_wnd.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <chrono>

#include "app/language.h"
#include "platform/process.h"
#include "platform/window_messages.h"
#include "ui/skin.h"

namespace online::gui {
namespace {

std::optional<std::string> readPackage() {
    std::error_code ec;
    const auto file = toolboxPackagePath();
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size == 0 || size > 32 * 1024 * 1024)
        return std::nullopt;
    std::string bytes = [&] {
        std::string text;
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            text.resize(size);
            text.resize(std::fread(text.data(), 1, size, f));
            std::fclose(f);
        }
        return text;
    }();
    if (bytes.size() != size)
        return std::nullopt;
    return bytes;
}

}  // namespace

CToolbox::CToolbox(QWidget* owner) : ui::Window(owner) {
    setObjectName(QStringLiteral("QRNToolbox"));
    setWindowFlag(Qt::Tool, true);
}

CToolbox::~CToolbox() {
    quit_->set();
    // Install threads see the quit event at once; each ends its wait within 100 ms.
    for (auto& [row, thread] : install_threads_) {
        if (thread.joinable())
            thread.join();
    }
    ui::skin().clearOverlay();
}

void CToolbox::useOverlay() {
    std::weak_ptr<ZipInMemory> package = package_;
    ui::skin().setOverlay([package](std::string_view name) -> std::optional<QByteArray> {
        auto held = package.lock();
        if (!held)
            return std::nullopt;
        auto bytes = held->read(name);
        if (!bytes)
            return std::nullopt;
        return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
    });
}

bool CToolbox::build() {
    auto bytes = readPackage();
    if (!bytes)
        return false;
    package_ = ZipInMemory::open(std::move(*bytes), ui::kSkinPassword);
    if (!package_)
        return false;
    useOverlay();
    // The language's layout, else "skin.xml"; read from the package itself, so the
    // main skin's own "skin.xml" is never taken for it.
    bool created = false;
    for (const std::string& name : {toolboxLayoutName(app::currentLanguage()), std::string("skin.xml")}) {
        if (auto xml = package_->read(name)) {
            created = createFromXml(QByteArray(xml->data(), static_cast<qsizetype>(xml->size())));
            if (created)
                break;
        }
    }
    if (!created)
        return false;
    list_ = find<ui::List>("list");
    if (list_) {
        const std::string& captions = list_->userData();
        open_ = attributeValue(captions, "open");
        get_ = attributeValue(captions, "get");
        learn_ = attributeValue(captions, "learn");
        installing_ = attributeValue(captions, "installing");
    }
    built_ = true;
    return true;
}

ui::Control* CToolbox::rowAt(int row) const {
    return list_ && row >= 0 && row < list_->count() ? list_->itemAt(row) : nullptr;
}

int CToolbox::rowCount() const {
    return list_ ? list_->count() : 0;
}

std::string CToolbox::rowCaption(int index) const {
    ui::Control* row = rowAt(index);
    ui::Control* button = row ? row->find("button") : nullptr;
    return button ? button->text() : std::string();
}

void CToolbox::setRowState(int index, const std::string& caption, bool enabled, bool progress_shown) {
    ui::Control* row = rowAt(index);
    if (!row)
        return;
    if (ui::Control* button = row->find("button")) {
        button->setText(caption);
        button->setEnabled(enabled);
        button->setShown(!progress_shown);
        button->setUserTag(static_cast<std::uintptr_t>(index) + 1);
    }
    if (ui::Control* progress = row->find("progress"))
        progress->setShown(progress_shown);
}

void CToolbox::refreshCaptions() {
    for (int i = 0; i < rowCount(); ++i) {
        if (installing_rows_.count(i)) {
            if (ui::Control* button = rowAt(i)->find("button"))
                button->setUserTag(static_cast<std::uintptr_t>(i) + 1);
            continue;  // a running installation keeps its look
        }
        switch (toolAction(rowAt(i)->userData())) {
            case ToolAction::Learn:
                setRowState(i, learn_, true, false);
                break;
            case ToolAction::Open:
                setRowState(i, open_, true, false);
                break;
            case ToolAction::Get:
                setRowState(i, get_, true, false);
                break;
        }
    }
}

void CToolbox::placeAt(QPoint screen_pos) {
    pos_ = screen_pos;
    QRect frame(screen_pos, size());
    if (QScreen* screen = QGuiApplication::screenAt(screen_pos) ? QGuiApplication::screenAt(screen_pos)
                                                                : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        if (frame.right() > area.right())
            frame.moveRight(area.right());
        if (frame.bottom() > area.bottom())
            frame.moveBottom(area.bottom());
    }
    move(frame.topLeft());
}

bool CToolbox::open(QPoint screen_pos) {
    if (!built_) {
        if (!build())
            return false;
        placeAt(screen_pos);
    } else {
        useOverlay();
        if (screen_pos != pos_)
            placeAt(screen_pos);
    }
    refreshCaptions();
    show();
    raise();
    return true;
}

void CToolbox::hidePopup() {
    ui::skin().clearOverlay();
    hide();
}

void CToolbox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hidePopup();
        return;
    }
    ui::Window::keyPressEvent(event);
}

void CToolbox::notify(ui::Notify& n) {
    if (n.type == "click" && n.sender && n.sender->name() == "button" && n.sender->userTag() > 0) {
        clickRow(static_cast<int>(n.sender->userTag()) - 1);
        return;
    }
    ui::Window::notify(n);
}

void CToolbox::clickRow(int index) {
    ui::Control* row = rowAt(index);
    if (!row)
        return;
    const std::string& attributes = row->userData();
    auto open = [this](const std::string& target) {
        return opener_ ? opener_(target) : platform::openWithDesktop(target);
    };
    const std::string url = attributeValue(attributes, "url");
    if (!url.empty()) {
        if (url.starts_with("https://") || url.starts_with("http://"))
            open(url);
        return;
    }
    const auto folder = toolFolder(attributeValue(attributes, "regedit"));
    if (!folder.empty()) {
        const std::string exe = attributeValue(attributes, "exe");
        if (!exe.empty() && exe.find('/') == std::string::npos) {
            if (opener_)
                opener_((folder / exe).string());
            else
                platform::startDetached(platform::CommandLine((folder / exe).string()));
        }
        return;
    }
    if (installing_rows_.count(index))
        return;  // a still running installation keeps the row untouched
    if (auto old = install_threads_.find(index); old != install_threads_.end()) {
        old->second.join();
        install_threads_.erase(old);
    }
    installing_rows_.insert(index);
    setRowState(index, installing_, false, true);
    if (ui::Control* progress = row->find("progress"))
        progress->setValue(0);
    install_threads_[index] = std::thread(
        [target = messageTarget(), quit = quit_, installer = attributeValue(attributes, "installer"),
         parameters = attributeValue(attributes, "setupcommond"),
         sha256 = attributeValue(attributes, "sha256"),
         index] { installTool(installer, parameters, sha256, target.get(), index, quit); });
}

platform::LParam CToolbox::onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                           platform::LParam lparam) {
    const int index = static_cast<int>(lparam);
    ui::Control* row = rowAt(index);
    switch (id) {
        case platform::WM_DOWNLOAD_PROGRESS:
            if (ui::Control* progress = row ? row->find("progress") : nullptr)
                progress->setValue(static_cast<int>(std::min<platform::WParam>(wparam, 100)));
            return 0;
        case platform::WM_DOWNLOAD_DONE:
            setRowState(index, installing_, false, false);
            return 0;
        case platform::WM_DOWNLOAD_FAILED:
            installing_rows_.erase(index);
            setRowState(index, get_, true, false);
            return 0;
        case platform::WM_TOOL_INSTALLED:
            installing_rows_.erase(index);
            setRowState(index, open_, true, false);
            return 0;
        default:
            return ui::Window::onCustomMessage(id, wparam, lparam);
    }
}

}  // namespace online::gui
