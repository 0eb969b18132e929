// A plan as korvelt test --check lists it: one line a step, in the language
// in use.
#pragma once

#include <string>

#include "testplan/Plan.h"

namespace testplan {

// "空载运行  运行: 频率运行 100.0Hz, 稳定 2 秒, 测量 3 秒; 电机转速 平均值 950 到 1050 RPM"
std::string StepLine(const Step& step);
// What the step does, without its name and type.
std::string StepSummary(const Step& step);
// "电机转速 平均值 950 到 1050 RPM, 临界 10"
std::string MeasurementText(const Measurement& measurement);
// The type of the step, as the listing names it.
std::string StepTypeText(StepKind kind);
// The step type's key in the file ("check-parameters").
const char* StepTypeKey(StepKind kind);

}  // namespace testplan
