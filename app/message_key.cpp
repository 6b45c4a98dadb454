#include "app/message_key.h"

#include "app/language.h"

#include <cstdint>

namespace app {
namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    std::size_t pos = kAlphabet.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        std::size_t pad = 0;
        if (last)
            pad = (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=');
        int v[4] = {0, 0, 0, 0};
        for (std::size_t k = 0; k < 4 - pad; ++k) {
            v[k] = sextet(text[i + k]);
            if (v[k] < 0)
                return std::nullopt;
        }
        std::uint32_t group = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out += static_cast<char>((group >> 16) & 0xFF);
        if (pad < 2)
            out += static_cast<char>((group >> 8) & 0xFF);
        if (pad < 1)
            out += static_cast<char>(group & 0xFF);
    }
    return out;
}

std::string encodeBase64(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string MessageKey::decode() const {
    return decodeBase64(base64_).value_or(std::string());
}

std::string messageText(MessageKey key) {
    std::string id = key.decode();
    return id.empty() ? std::string() : getText(id, "Message");
}

std::vector<MessageKey> allMessageKeys() {
    return {message_key::ClearVideo,     message_key::RemoveVideo,
            message_key::ConfirmClose,   message_key::ConfirmStop,
            message_key::WaitForConver,  message_key::CannotRecode,
            message_key::MergeError2,    message_key::HasUpdate,
            message_key::Updating,       message_key::NotUpdate,
            message_key::NoVersion,      message_key::AnalyseError,
            message_key::ConnectError,   message_key::ErrNetworkLost,
            message_key::DownloadErr,    message_key::DownloadDecodeFailed,
            message_key::FileIsNoExists, message_key::LowOS,
            message_key::MergeError,     message_key::MergeOK,
            message_key::NoSelectFile,   message_key::NoSelectType,
            message_key::InputSuggest,   message_key::SuggestOK,
            message_key::SuggestFail};
}

}  // namespace app
