#include "udf/udf_factory.h"

namespace pravel {

std::unique_ptr<UdfStage> MakeUdfStage() { return std::make_unique<NoUdfStage>(); }

}  // namespace pravel
