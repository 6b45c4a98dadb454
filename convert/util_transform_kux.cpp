#include "convert/util_transform_kux.h"

namespace convert {

CUtilTransform_Kux::CUtilTransform_Kux(ConvertTask* task, platform::MessageTarget* window, JobOptions options,
                                       SpecialSourceOptions special)
    : CUtilTransformSpecial(task, window, std::move(options), std::move(special)) {}

// Our threads call our overrides: they must end before this object is gone.
CUtilTransform_Kux::~CUtilTransform_Kux() {
    Stop();
}

int CUtilTransform_Kux::PrepareSource() {
    const std::string tool = (pluginDir() / "kux" / "ffmpeg").string();
    const std::string out = intermediate(".mp4").string();
    platform::CommandLine command(tool);
    command.args({"-y", "-i"}).quotedArg(task()->source_path).args({"-c", "copy"}).quotedArg(out);
    command.setDisplay("\"" + tool + "\" -y -i \"" + task()->source_path + "\" -c copy \"" + out + "\"");
    if (!runTool(command) || !pathExists(out))
        return failPrepare("the kux tool did not write " + out);
    return finishPrepare(out);
}

int CUtilTransform_Kux::PrepareProgress() {
    return madeUpProgress(intermediate(".mp4"), 10, 3000);
}

}  // namespace convert
