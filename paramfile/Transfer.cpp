#include "paramfile/Transfer.h"

#include <algorithm>

#include "lang/Texts.h"

namespace paramfile {

std::string StepResult::Message() const {
  if (cancelled) return lang::Tr(CancelledText);
  return step + ": " + ResultText(result);
}

std::string ReadStep(const fields::ParamBlock& block) { return lang::Fill(lang::Tr("读取{1}"), {lang::Tr(block.title)}); }
std::string WriteStep(const fields::ParamBlock& block) { return lang::Fill(lang::Tr("写入{1}"), {lang::Tr(block.title)}); }
std::string ReadBackStep(const fields::ParamBlock& block) {
  return lang::Fill(lang::Tr("读回{1}"), {lang::Tr(block.title)});
}

namespace {

// One step: reported, skipped when a stop was asked for, run otherwise.
template <class Run>
bool Step(const Work& work, size_t done, size_t total, const std::string& step, StepResult& end, Run run) {
  if (work.Cancelled()) {
    end.cancelled = true;
    return false;
  }
  work.Report(done, total, step);
  const ModbusResult result = run();
  if (result == ResultSuccess) return true;
  end.result = result;
  end.step = step;
  return false;
}

}  // namespace

StepResult ReadDevice(DriverLink& link, uint8_t slave, const std::vector<size_t>& which, bool withIdentity,
                      const Work& work, DeviceImage& image) {
  StepResult end;
  const size_t total = which.size() + (withIdentity ? 1 : 0);
  size_t done = 0;
  if (withIdentity && !Step(work, done++, total, lang::Tr(IdentityStep), end,
                            [&] { return ReadDeviceIdentity(link, slave, image.identity); })) {
    return end;
  }
  for (const size_t index : which) {
    const fields::ParamBlock& block = BlockAt(index);
    Words words(block.spec->count);
    if (!Step(work, done++, total, ReadStep(block), end,
              [&] { return link.ReadBlockWords(slave, *block.spec, words.data()); })) {
      return end;
    }
    image.blocks[index] = std::move(words);
  }
  work.Report(total, total, {});
  return end;
}

std::vector<size_t> WriteOrder(const BlockWords& plan) {
  std::vector<size_t> order;
  for (size_t i = 0; i < plan.size() && i < BlockCount(); ++i) {
    if (!plan[i].empty()) order.push_back(i);
  }
  std::stable_partition(order.begin(), order.end(),
                        [](size_t i) { return !IsSystemBlock(i); });
  return order;
}

RestoreReport WriteAndCheck(DriverLink& link, uint8_t slave, const BlockWords& plan, Learning learning,
                            const Work& work) {
  RestoreReport report;
  const std::vector<size_t> order = WriteOrder(plan);
  const size_t total = 2 * order.size();
  size_t done = 0;
  for (const size_t index : order) {
    const fields::ParamBlock& block = BlockAt(index);
    if (!Step(work, done++, total, WriteStep(block), report.end,
              [&] { return link.WriteBlockWords(slave, *block.spec, plan[index].data()); })) {
      return report;
    }
    report.written.push_back(index);
  }
  for (const size_t index : order) {
    const fields::ParamBlock& block = BlockAt(index);
    Words words(block.spec->count);
    if (!Step(work, done++, total, ReadBackStep(block), report.end,
              [&] { return link.ReadBlockWords(slave, *block.spec, words.data()); })) {
      return report;
    }
    std::vector<Difference> differ = CompareBlock(index, words, plan[index]);
    if (learning == Learning::Kept) std::erase_if(differ, [](const Difference& row) { return row.learning; });
    report.mismatches.insert(report.mismatches.end(), differ.begin(), differ.end());
    report.readBack[index] = std::move(words);
  }
  work.Report(total, total, {});
  return report;
}

std::string BlockKeys(const std::vector<size_t>& blocks) {
  std::string keys;
  for (const size_t index : blocks) keys += (keys.empty() ? "" : ", ") + std::string(BlockAt(index).key);
  return keys;
}

}  // namespace paramfile
