#include "app/stages.h"

#include "app/runtime.h"

namespace pravel {

void ShowNotYetBuilt(Job& job, const std::string& what) {
  ShowMessage(job, "This build of Pravel can not do that yet: " + what + ".", "Not available");
}

namespace {

class ProductionStages final : public Stages {
 public:
  bool LoadProjectSources(Job& job) override {
    ShowNotYetBuilt(job, "loading a batch project");
    return false;
  }
  bool BuildTreeListing(Job& job) override {
    ShowNotYetBuilt(job, "scanning the sources");
    return false;
  }
  bool BuildImageAndOutput(Job& job) override {
    ShowNotYetBuilt(job, "building the disc image");
    return false;
  }
  void RemoveAliasFiles(Job&) override {}
  void RemoveTreeListingFiles(Job&) override {}
  void EraseTape(Job& job) override { ShowNotYetBuilt(job, "erasing a tape"); }
};

}  // namespace

std::unique_ptr<Stages> MakeProductionStages() { return std::make_unique<ProductionStages>(); }

}  // namespace pravel
