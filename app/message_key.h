#pragma once
// Identifiers of the texts in section "Message" of the language file. Each is kept
// as a Base64 constant and decoded each time the message is shown, so the plain
// identifiers do not appear in the program's data.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

class MessageKey {
public:
    constexpr explicit MessageKey(std::string_view base64) : base64_(base64) {}
    constexpr std::string_view base64() const { return base64_; }
    // The plain identifier ("ClearVideo"); empty when the constant is not valid Base64.
    std::string decode() const;

private:
    std::string_view base64_;
};

// Standard Base64 (RFC 4648 alphabet, '=' padding required to whole groups of
// four). Nothing when `text` is malformed.
std::optional<std::string> decodeBase64(std::string_view text);
std::string encodeBase64(std::string_view bytes);

// The text of `key` in section "Message" of the current language; empty when it is
// missing.
std::string messageText(MessageKey key);

namespace message_key {

inline constexpr MessageKey ClearVideo{"Q2xlYXJWaWRlbw=="};
inline constexpr MessageKey RemoveVideo{"UmVtb3ZlVmlkZW8="};
inline constexpr MessageKey ConfirmClose{"Q29uZmlybUNsb3Nl"};
inline constexpr MessageKey ConfirmStop{"Q29uZmlybVN0b3A="};
inline constexpr MessageKey WaitForConver{"V2FpdEZvckNvbnZlcg=="};
inline constexpr MessageKey CannotRecode{"Q2Fubm90UmVjb2Rl"};
inline constexpr MessageKey MergeError2{"TWVyZ2VFcnJvcjI="};
inline constexpr MessageKey HasUpdate{"SGFzVXBkYXRl"};
inline constexpr MessageKey Updating{"VXBkYXRpbmc="};
inline constexpr MessageKey NotUpdate{"Tm90VXBkYXRl"};
inline constexpr MessageKey NoVersion{"Tm9WZXJzaW9u"};
inline constexpr MessageKey AnalyseError{"QW5hbHlzZUVycm9y"};
inline constexpr MessageKey ConnectError{"Q29ubmVjdEVycm9y"};
inline constexpr MessageKey ErrNetworkLost{"RXJyTmV0d29ya0xvc3Q="};
inline constexpr MessageKey DownloadErr{"RG93bmxvYWRFcnI="};
inline constexpr MessageKey DownloadDecodeFailed{"RG93bmxvYWREZWNvZGVGYWlsZWQ="};
inline constexpr MessageKey FileIsNoExists{"RmlsZUlzTm9FeGlzdHM="};
inline constexpr MessageKey LowOS{"TG93T1M="};
inline constexpr MessageKey MergeError{"TWVyZ2VFcnJvcg=="};
inline constexpr MessageKey MergeOK{"TWVyZ2VPSw=="};
inline constexpr MessageKey NoSelectFile{"Tm9TZWxlY3RGaWxl"};
inline constexpr MessageKey NoSelectType{"Tm9TZWxlY3RUeXBl"};
inline constexpr MessageKey InputSuggest{"SW5wdXRTdWdnZXN0"};
inline constexpr MessageKey SuggestOK{"U3VnZ2VzdE9L"};
inline constexpr MessageKey SuggestFail{"U3VnZ2VzdEZhaWw="};

}  // namespace message_key

// Every identifier above, for checks that the language files carry them all.
std::vector<MessageKey> allMessageKeys();

}  // namespace app
