#include "convert/job_factory.h"

#include "convert/util_transform_special.h"

namespace convert {

std::unique_ptr<CUtilTransform> makeJob(ConvertTask* task, platform::MessageTarget* window,
                                        const JobOptions& options, const SpecialSourceOptions& special) {
    switch (static_cast<SourceKind>(task ? task->source_kind : 0)) {
        case SourceKind::Qsv:
            return std::make_unique<CUtilTransform_Qsv>(task, window, options, special);
        case SourceKind::Kux:
            return std::make_unique<CUtilTransform_Kux>(task, window, options, special);
        case SourceKind::Qlv:
            return std::make_unique<CUtilTransform_Qlv>(task, window, options, special);
        case SourceKind::Ordinary:
            break;
    }
    return std::make_unique<CUtilTransform>(task, window, options);
}

}  // namespace convert
