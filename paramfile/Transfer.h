// The parameter blocks over the link: reading a device's identity and
// blocks, and writing blocks then reading each back to see whether it took.
// Each step is one transaction; long work reports its steps and stops
// between two of them when asked to.
#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "device/Identity.h"
#include "driver/DriverLink.h"
#include "paramfile/Compare.h"

namespace paramfile {

// How long work reports and is stopped. Both may be left empty.
struct Work {
  // The step about to start ("读取电机参数配置"), and how many of `total`
  // steps are done.
  std::function<void(size_t done, size_t total, const std::string& step)> progress;
  // Asked for between two steps; a token without a source never stops.
  std::stop_token stop;

  bool Cancelled() const { return stop.stop_requested(); }
  void Report(size_t done, size_t total, const std::string& step) const {
    if (progress) progress(done, total, step);
  }
};

// How work on the link ended: every step done, a step that failed with its
// result, or a stop asked for before a step.
struct StepResult {
  ModbusResult result = ResultSuccess;
  std::string step;  // the step that failed
  bool cancelled = false;

  bool Done() const { return result == ResultSuccess && !cancelled; }
  // "读取电机参数配置: 通讯超时", "已取消".
  std::string Message() const;
};

inline constexpr const char* CancelledText = "已取消";
std::string ReadStep(const fields::ParamBlock& block);
std::string WriteStep(const fields::ParamBlock& block);
std::string ReadBackStep(const fields::ParamBlock& block);
inline constexpr const char* IdentityStep = "读取设备信息";

// What a device holds.
struct DeviceImage {
  DeviceIdentity identity;
  BlockWords blocks = NoBlocks();
};

// Reads the identity (when `withIdentity`), then the blocks in `which`, in
// that order. `image` holds what was read before a failure.
StepResult ReadDevice(DriverLink& link, uint8_t slave, const std::vector<size_t>& which, bool withIdentity,
                      const Work& work, DeviceImage& image);

// The blocks of `plan` in the order they are written: the file's order,
// the system block last (its lock and line settings would get in the way of
// the others).
std::vector<size_t> WriteOrder(const BlockWords& plan);

struct RestoreReport {
  StepResult end;
  std::vector<size_t> written;  // in the order written
  BlockWords readBack = NoBlocks();
  // Fields whose words read back differ from those written: `file` is what
  // was written, `device` what was read.
  std::vector<Difference> mismatches;

  bool Verified() const { return end.Done() && mismatches.empty(); }
};

// Whether the motor's learning result was given from elsewhere or is the
// driver's own, written back as it was read.
enum class Learning { Kept, Written };

// Writes every block of `plan`, then reads each back and compares it word
// for word: every word written from elsewhere; a learning result kept is
// the driver's own, which a learning run may change meanwhile, and is not
// judged. Stops at the first step that fails, or when asked to; `written`
// then says which blocks the driver took.
RestoreReport WriteAndCheck(DriverLink& link, uint8_t slave, const BlockWords& plan, Learning learning,
                            const Work& work);

// "ramp, motor": blocks by their keys.
std::string BlockKeys(const std::vector<size_t>& blocks);

}  // namespace paramfile
