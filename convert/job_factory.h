#pragma once
// The one place where a task's source kind chooses its job.

#include "convert/util_transform.h"
#include "convert/util_transform_special.h"

#include <memory>

namespace convert {

// CUtilTransform for ordinary sources; CUtilTransform_Qsv, _Kux or _Qlv for the
// special kinds, which rewrite their source first and probe it with `special.probe`.
// Never null. Neither pointer is owned; both must outlive the job.
std::unique_ptr<CUtilTransform> makeJob(ConvertTask* task, platform::MessageTarget* window,
                                        const JobOptions& options, const SpecialSourceOptions& special);

}  // namespace convert
