// Makes the UDF stage the image builder calls on.
#pragma once

#include <memory>

#include "iso/udf_stage.h"

namespace pravel {

std::unique_ptr<UdfStage> MakeUdfStage();

}  // namespace pravel
