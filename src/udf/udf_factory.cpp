#include "udf/udf_factory.h"

#include "udf/udf_writer.h"

namespace pravel {

std::unique_ptr<UdfStage> MakeUdfStage() { return std::make_unique<UdfWriter>(); }

}  // namespace pravel
