#pragma once
// The audio output seam: the player core opens, starts and closes its playback
// device through this interface. SdlAudioDevice is the real one; NullAudioDevice
// pulls the callback from a thread of its own at the device's pace and can keep
// what it was given, so that tests can check the output without a sound card.

#include <SDL.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace player {

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Opens the default playback device, allowing frequency and channel changes.
    // Returns false when the device refuses the request (error() then says why).
    virtual bool open(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) = 0;
    // Starts (false) or stops (true) the callback. The device opens paused.
    virtual void pause(bool paused) = 0;
    // Stops the callback and waits until it has returned. Safe when not open.
    virtual void close() = 0;
    virtual std::string error() const = 0;
};

class SdlAudioDevice : public AudioDevice {
public:
    ~SdlAudioDevice() override { close(); }
    bool open(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) override;
    void pause(bool paused) override;
    void close() override;
    std::string error() const override { return SDL_GetError(); }

private:
    SDL_AudioDeviceID id_ = 0;
};

class NullAudioDevice : public AudioDevice {
public:
    // Decides whether a (channels, rate) request is accepted; default: all.
    using Acceptor = std::function<bool(int channels, int rate)>;
    explicit NullAudioDevice(Acceptor accept = {}, bool keep_output = false)
        : accept_(std::move(accept)), keep_output_(keep_output) {}
    ~NullAudioDevice() override { close(); }

    bool open(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) override;
    void pause(bool paused) override { paused_.store(paused); }
    void close() override;
    std::string error() const override { return "refused by the null device"; }

    // Every (channels, rate) that open() was asked for, in order.
    std::vector<std::pair<int, int>> attempts() const;
    // Bytes the callback produced while kept (keep_output), and how many callbacks ran.
    std::vector<Uint8> takeOutput();
    int callbacks() const { return callbacks_.load(); }

private:
    void run();

    Acceptor accept_;
    const bool keep_output_;
    SDL_AudioSpec spec_{};
    std::atomic<bool> paused_{true};
    std::atomic<bool> stop_{false};
    std::atomic<int> callbacks_{0};
    std::thread thread_;
    mutable std::mutex mutex_;  // guards attempts_ and output_
    std::vector<std::pair<int, int>> attempts_;
    std::vector<Uint8> output_;
};

}  // namespace player
