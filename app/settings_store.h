#pragma once
// The settings of the two Config.ini files (user: data folder, program: program
// folder) and the one-shot bit rate and frame rate of the settings dialog. Missing
// files and keys give the defaults; failed writes are ignored.

#include "app/language_id.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace app {

class SettingsStore {
public:
    // Paths default to dataDir()/Config.ini, programDir()/Config.ini and
    // programDir()/oem.ini (the language is written to both LCID keys).
    SettingsStore();
    SettingsStore(std::filesystem::path user_config, std::filesystem::path program_config,
                  std::filesystem::path oem_ini);

    // Reads both files (start-up).
    void load();

    const std::filesystem::path& userConfigPath() const { return user_config_; }
    const std::filesystem::path& programConfigPath() const { return program_config_; }

    int userLcid() const { return user_lcid_; }            // "Setting" "LCID", 0 = not set
    bool sendAction() const { return send_action_ != 0; }  // crash-report check at start
    bool standbyServer() const { return standby_.load(std::memory_order_relaxed); }
    bool enableShadow() const { return enable_shadow_ != 0; }  // program file "Setting" "EnableShadow"
    bool openTutorial() const { return open_tutorial_; }
    bool hasNewInstaller() const;  // user file "main" "HasNewInstaller", read on each call

    // Program file "Config" "Size", read on every call (every command build).
    std::string muxingQueueSize() const;

    // Writes the LCID of `id` to the user Config.ini and to oem.ini.
    void setLanguage(LanguageId id);
    // Writes "StandbyServer"; the online services read standbyServer().
    void setStandby(bool standby);
    void clearOpenTutorial();

    // One-shot overrides: set by the settings dialog, taken (and reset to 0) by the
    // next conversion command built. Safe from any thread.
    void setCustomBitrate(std::int64_t bits_per_second) { custom_bitrate_.store(bits_per_second); }
    void setCustomFrameRate(float fps) { custom_frame_rate_.store(fps); }
    std::int64_t customBitrate() const { return custom_bitrate_.load(); }
    float customFrameRate() const { return custom_frame_rate_.load(); }
    std::int64_t takeCustomBitrate() { return custom_bitrate_.exchange(0); }
    float takeCustomFrameRate() { return custom_frame_rate_.exchange(0.0f); }

private:
    void writeInt(const char* section, const char* key, int value) const;

    std::filesystem::path user_config_, program_config_, oem_ini_;
    int user_lcid_ = 0;
    int send_action_ = 1;
    int enable_shadow_ = 1;
    bool open_tutorial_ = true;
    std::atomic<bool> standby_{false};
    std::atomic<std::int64_t> custom_bitrate_{0};
    std::atomic<float> custom_frame_rate_{0.0f};
};

}  // namespace app
