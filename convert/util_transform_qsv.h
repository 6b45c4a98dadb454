#pragma once
// The job for .qsv sources: see util_transform_special.h.

#include "convert/util_transform_special.h"

namespace convert {

class CUtilTransform_Qsv : public CUtilTransformSpecial {
public:
    CUtilTransform_Qsv(ConvertTask* task, platform::MessageTarget* window, JobOptions options = {},
                       SpecialSourceOptions special = {});
    ~CUtilTransform_Qsv() override;

protected:
    int PrepareSource() override;
    int PrepareProgress() override;
};

}  // namespace convert
