#include "convert/util_transform_special.h"
#include "platform/strings.h"

namespace convert {

template <>
int CUtilTransform_Qsv::PrepareSource() {
    const std::string tool = (pluginDir() / "qsvconvert").string();
    const std::string flv = intermediate(".flv").string();
    const std::string alt = flv + ".mp4";
    removeQuietly(alt);
    platform::CommandLine command(tool);
    command.quotedArg(task()->source_path).quotedArg(flv);
    command.setDisplay("\"" + tool + "\" \"" + task()->source_path + "\" \"" + flv + "\"");
    if (!runTool(command) || !pathExists(flv))
        return failPrepare("the qsv tool did not write " + flv);

    // An FLV below a tenth of the source is a failed attempt: the tool's MP4 is the
    // result then (even when missing: the conversion then fails on its input).
    const std::int64_t limit = task()->file_size / 10;
    if (fileSizeOf(flv) >= limit) {
        removeQuietly(alt);
        return finishPrepare(flv);
    }
    if (pathExists(alt))
        task()->size_text = platform::FormatSize(static_cast<std::uint64_t>(fileSizeOf(alt)));
    removeQuietly(flv);
    return finishPrepare(alt);
}

}  // namespace convert
