#include "convert/util_transform_special.h"

#include "convert/ffmpeg_tool.h"

namespace convert {

template <>
int CUtilTransform_Qlv::PrepareSource() {
    const std::string tool = (pluginDir() / "qlvconvert").string();
    const std::string temp = intermediate(".mp4.temp.mp4").string();
    const std::string mp4 = intermediate(".mp4").string();
    const std::string bare = intermediate("").string();
    platform::CommandLine command(tool);
    command.quotedArg(task()->source_path).quotedArg(temp).quotedArg(mp4).quotedArg(bare);
    command.setDisplay("\"" + tool + "\" \"" + task()->source_path + "\" \"" + temp + "\" \"" + mp4 +
                       "\" \"" + bare + "\"");
    if (!runTool(command) || !pathExists(mp4))
        return failPrepare("the qlv tool did not write " + mp4);
    removeQuietly(temp);
    removeQuietly(bare);

    const std::string ts = intermediate(".ts").string();
    platform::CommandLine remux(special().ffmpeg_program.empty() ? ffmpegProgram()
                                                                 : special().ffmpeg_program);
    remux.args({"-hide_banner", "-y", "-i"}).quotedArg(mp4).args({"-c", "copy"}).quotedArg(ts);
    remux.setDisplay(std::string(kFfmpegDisplayName) + " -hide_banner -y -i \"" + mp4 + "\" -c copy \"" + ts +
                     "\"");
    if (!runTool(remux) || !pathExists(ts))
        return failPrepare("the remux of the qlv tool's output failed");  // the tool's MP4 stays
    removeQuietly(mp4);
    return finishPrepare(ts);
}

}  // namespace convert
