#pragma once
// What the three special-source jobs share (the kinds are CUtilTransform_Qsv, _Kux and
// _Qlv below): running a companion tool so that a stop
// ends it, re-probing the replaced source, and the made-up progress of the pre-step.
//
// Companion tools live in the plugin folder (programDir()/plugin). A missing tool, a
// tool that cannot start or one that leaves no output gives WM_CONVERT_START_FAILED
// (then WM_CONVERT_FAILED from the monitor) and no ffmpeg conversion.

#include "convert/util_transform.h"

#include <filesystem>
#include <functional>
#include <random>
#include <string>

namespace convert {

// The probe of the conversion list, handed in because it lives above this module.
// Either call may be empty (then it counts as failed).
struct SourceProbe {
    std::function<bool(ConvertTask&)> probe_media;  // ProbeMedia
    std::function<bool(ConvertTask&)> make_cover;   // MakeCover
};

struct SpecialSourceOptions {
    SourceProbe probe;
    // Upper bound of the pauses between made-up progress steps; 0 keeps each kind's
    // own bound (3 s for kux, 5 s for qlv and qsv).
    int pause_bound_ms = 0;
    // ffmpeg for the qlv remux; empty: ffmpegProgram().
    std::string ffmpeg_program;
};

class CUtilTransformSpecial : public CUtilTransform {
public:
    CUtilTransformSpecial(ConvertTask* task, platform::MessageTarget* window, JobOptions options,
                          SpecialSourceOptions special);

    // The command lines run so far, as displayed (for logs and tests).
    std::vector<std::string> toolCommands() const;

protected:
    // Runs `command` hidden in the scratch folder and waits for it; a stop ends it.
    // False when it is missing, could not be started, or the job stopped.
    bool runTool(const platform::CommandLine& command);
    // Reports a failed pre-step (`why` for the user): WM_CONVERT_START_FAILED unless
    // stopping. Returns 0.
    int failPrepare(const std::string& why);
    // Takes `new_source` as the task's source, probes it and posts WM_TASK_INFO_READY.
    // Returns 1 (also when the probe fails).
    int finishPrepare(const std::string& new_source);
    // Made-up progress until `watched` exists: returns `cap` when it appeared, -1
    // after cap + 1 steps without it.
    int madeUpProgress(const std::filesystem::path& watched, int cap, int pause_bound_ms);

    // W + U + suffix: intermediate files in the work folder named after the task.
    std::filesystem::path intermediate(const std::string& suffix) const;
    const SpecialSourceOptions& special() const { return special_; }

private:
    const SpecialSourceOptions special_;
    std::string unique_id_;              // copied at construction: the task's id never changes
    mutable std::mutex commands_mutex_;  // guards commands_
    std::vector<std::string> commands_;
    std::minstd_rand random_;  // monitor thread only
};

// The made-up progress of a kind's pre-step: it ends at `cap` percent when the file
// W + U + `watched_suffix` appears; pauses between steps are below `pause_bound_ms`.
struct PrepareProgressRule {
    const char* watched_suffix;
    int cap;
    int pause_bound_ms;
};

constexpr PrepareProgressRule prepareProgressRule(SourceKind kind) {
    switch (kind) {
        case SourceKind::Kux:
            return {".mp4", 10, 3000};
        case SourceKind::Qlv:
            return {".ts", 25, 5000};
        default:
            return {".flv", 25, 5000};
    }
}

// The job of one special source kind; each kind's pre-step (PrepareSource) is in its
// own file (util_transform_kux.cpp, _qlv.cpp, _qsv.cpp).
template <SourceKind kind>
class CUtilTransformSource final : public CUtilTransformSpecial {
public:
    CUtilTransformSource(ConvertTask* task, platform::MessageTarget* window, JobOptions options = {},
                         SpecialSourceOptions special = {})
        : CUtilTransformSpecial(task, window, std::move(options), std::move(special)) {}
    // Our threads call our overrides: they must end before this object is gone.
    ~CUtilTransformSource() override { Stop(); }

protected:
    int PrepareSource() override;
    int PrepareProgress() override {
        constexpr PrepareProgressRule rule = prepareProgressRule(kind);
        return madeUpProgress(intermediate(rule.watched_suffix), rule.cap, rule.pause_bound_ms);
    }
};

using CUtilTransform_Qsv = CUtilTransformSource<SourceKind::Qsv>;
using CUtilTransform_Kux = CUtilTransformSource<SourceKind::Kux>;
using CUtilTransform_Qlv = CUtilTransformSource<SourceKind::Qlv>;

template <>
int CUtilTransform_Qsv::PrepareSource();
template <>
int CUtilTransform_Kux::PrepareSource();
template <>
int CUtilTransform_Qlv::PrepareSource();

// True when a file (or anything) exists at `path`.
bool pathExists(const std::filesystem::path& path);
// Deletes a file if it is there; a file that cannot be deleted is left as it is.
void removeQuietly(const std::filesystem::path& path);
// Size in bytes, 0 when it cannot be read.
std::int64_t fileSizeOf(const std::filesystem::path& path);

}  // namespace convert
