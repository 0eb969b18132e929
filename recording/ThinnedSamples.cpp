#include "recording/ThinnedSamples.h"

#include <algorithm>

namespace recording {

ThinnedSamples::ThinnedSamples(size_t bound) : bound_(std::max<size_t>(2, bound)) {}

void ThinnedSamples::Add(const Sample& sample) {
  if (!IsGap(sample)) {
    if (++skipped_ < stride_) return;
    skipped_ = 0;
  }
  if (samples_.size() >= bound_) Halve();
  samples_.push_back(sample);
}

void ThinnedSamples::Halve() {
  size_t kept = 0;
  for (size_t i = 0; i < samples_.size(); i += 2) {
    const bool pair = i + 1 < samples_.size();
    samples_[kept++] = pair && IsGap(samples_[i + 1]) ? samples_[i + 1] : samples_[i];
  }
  samples_.resize(kept);
  stride_ *= 2;
}

}  // namespace recording
