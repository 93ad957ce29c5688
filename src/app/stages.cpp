#include "app/stages.h"

#include "job/runtime.h"
#include "intake/alias_files.h"
#include "intake/tree_scan.h"
#include "iso/builder.h"
#include "output/image_output.h"
#include "output/tape_output.h"

namespace pravel {

void ShowNotYetBuilt(Job& job, const std::string& what) {
  ShowMessage(job, "This build of Pravel can not do that yet: " + what + ".", "Not available");
}

namespace {

class ProductionStages final : public Stages {
 public:
  bool LoadProjectSources(Job& job) override { return pravel::LoadProjectSources(job); }
  bool BuildTreeListing(Job& job) override { return pravel::BuildTreeListing(job); }
  bool BuildImageAndOutput(Job& job) override { return pravel::BuildImageAndOutput(job); }
  void RemoveAliasFiles(Job& job) override { pravel::RemoveAliasFiles(job); }
  void RemoveTreeListingFiles(Job& job) override { pravel::RemoveTreeListingFiles(job); }
  void RemoveBuilderFiles(Job& job) override { pravel::RemoveBuilderFiles(job); }
  void RemoveUnfinishedImages(Job& job) override { pravel::RemoveUnfinishedImages(job); }
  void EraseTape(Job& job) override {
    if (!pravel::EraseTape(job)) CreateErrorMarker(job);
  }
};

}  // namespace

std::unique_ptr<Stages> MakeProductionStages() { return std::make_unique<ProductionStages>(); }

}  // namespace pravel
