#include "player/audio_device.h"

#include <chrono>

namespace player {

bool SdlAudioDevice::open(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) {
    SDL_AudioSpec request = wanted;
    id_ = SDL_OpenAudioDevice(nullptr, 0, &request, obtained,
                              SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    return id_ != 0;
}

void SdlAudioDevice::pause(bool paused) {
    if (id_) {
        SDL_PauseAudioDevice(id_, paused ? 1 : 0);
    }
}

void SdlAudioDevice::close() {
    if (id_) {
        SDL_CloseAudioDevice(id_);
        id_ = 0;
    }
}

bool NullAudioDevice::open(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) {
    {
        std::lock_guard lock(mutex_);
        attempts_.emplace_back(wanted.channels, wanted.freq);
    }
    if (accept_ && !accept_(wanted.channels, wanted.freq)) {
        return false;
    }
    close();
    spec_ = wanted;
    spec_.size = static_cast<Uint32>(spec_.samples) * spec_.channels * (SDL_AUDIO_BITSIZE(spec_.format) / 8);
    *obtained = spec_;
    paused_.store(true);
    stop_.store(false);
    thread_ = std::thread([this] { run(); });
    return true;
}

void NullAudioDevice::close() {
    stop_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void NullAudioDevice::run() {
    std::vector<Uint8> buf(spec_.size);
    const auto period = std::chrono::microseconds(1000000LL * spec_.samples / spec_.freq);
    auto next = std::chrono::steady_clock::now();
    while (!stop_.load()) {
        next += period;
        if (!paused_.load()) {
            spec_.callback(spec_.userdata, buf.data(), static_cast<int>(buf.size()));
            callbacks_.fetch_add(1);
            if (keep_output_) {
                std::lock_guard lock(mutex_);
                output_.insert(output_.end(), buf.begin(), buf.end());
            }
        }
        std::this_thread::sleep_until(next);
    }
}

std::vector<std::pair<int, int>> NullAudioDevice::attempts() const {
    std::lock_guard lock(mutex_);
    return attempts_;
}

std::vector<Uint8> NullAudioDevice::takeOutput() {
    std::lock_guard lock(mutex_);
    return std::exchange(output_, {});
}

}  // namespace player
