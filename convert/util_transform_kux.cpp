#include "convert/util_transform_special.h"

namespace convert {

template <>
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

}  // namespace convert
