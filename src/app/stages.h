// The stages the run driver calls at its fixed points. The production set
// calls the real subsystems; tests of the driver substitute doubles.
#pragma once

#include <memory>

#include "job/job.h"

namespace pravel {

class Stages {
 public:
  virtual ~Stages() = default;
  // Batch project load: the project folder's entries become the sources.
  virtual bool LoadProjectSources(Job& job) = 0;
  // The scan of the sources into the tree listing.
  virtual bool BuildTreeListing(Job& job) = 0;
  // The image build and delivery (image files or tape).
  virtual bool BuildImageAndOutput(Job& job) = 0;
  virtual void RemoveAliasFiles(Job& job) = 0;
  virtual void RemoveTreeListingFiles(Job& job) = 0;
  // The image builder's directory files.
  virtual void RemoveBuilderFiles(Job& job) = 0;
  // The image files of a run that was cut short.
  virtual void RemoveUnfinishedImages(Job& job) = 0;
  virtual void EraseTape(Job& job) = 0;
};

std::unique_ptr<Stages> MakeProductionStages();

// The message a stage shows when this build can not do it yet; the run fails.
void ShowNotYetBuilt(Job& job, const std::string& what);

}  // namespace pravel
