#pragma once
// The job for .kux sources: see util_transform_special.h.

#include "convert/util_transform_special.h"

namespace convert {

class CUtilTransform_Kux : public CUtilTransformSpecial {
public:
    CUtilTransform_Kux(ConvertTask* task, platform::MessageTarget* window, JobOptions options = {},
                       SpecialSourceOptions special = {});
    ~CUtilTransform_Kux() override;

protected:
    int PrepareSource() override;
    int PrepareProgress() override;
};

}  // namespace convert
