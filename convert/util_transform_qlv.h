#pragma once
// The job for .qlv sources: see util_transform_special.h.

#include "convert/util_transform_special.h"

namespace convert {

class CUtilTransform_Qlv : public CUtilTransformSpecial {
public:
    CUtilTransform_Qlv(ConvertTask* task, platform::MessageTarget* window, JobOptions options = {},
                       SpecialSourceOptions special = {});
    ~CUtilTransform_Qlv() override;

protected:
    int PrepareSource() override;
    int PrepareProgress() override;
};

}  // namespace convert
