// The samples of a step run within a fixed bound however fast the line
// goes: when the bound is reached, every second sample goes and from then
// on only every second one is taken, and so on, so that the run always
// spans the whole test at a resolution that halves each time. A failed
// read is always taken; when two are merged a gap wins over a value.
#pragma once

#include <cstddef>
#include <vector>

#include "recording/StatusRecording.h"

namespace recording {

class ThinnedSamples {
 public:
  // `bound` is at least 2.
  explicit ThinnedSamples(size_t bound);

  void Add(const Sample& sample);
  // One sample kept for every Stride() taken (1: all of them).
  size_t Stride() const { return stride_; }
  const std::vector<Sample>& Samples() const { return samples_; }
  std::vector<Sample> Take() { return std::move(samples_); }

 private:
  void Halve();

  size_t bound_;
  size_t stride_ = 1;
  size_t skipped_ = 0;  // values passed over since the last one taken
  std::vector<Sample> samples_;
};

}  // namespace recording
