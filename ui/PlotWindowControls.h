// The plot window's controls as a table: its lists, its groups and every
// entry, button and text of its panel, walked by the page builder.
#pragma once

#include <iterator>

#include "fields/CommandTexts.h"
#include "ui/forms/Fields.h"

namespace plotwindow {

using forms::Field;
using forms::ListItem;

// Seconds of the sliding window.
inline constexpr ListItem kWindows[] = {{"10 秒", 10},  {"30 秒", 30},   {"1 分钟", 60},
                                        {"2 分钟", 120}, {"5 分钟", 300}, {"10 分钟", 600}};
inline constexpr int kDefaultWindow = 2;
inline constexpr ListItem kMouseModes[] = {{"框选缩放", 0}, {"拖动平移", 1}};
inline constexpr ListItem kStepKinds[] = {{"频率运行", 0}, {"位置运动", 1}};

// The window's control ids; the series' check boxes follow FirstSeries, in
// the order of the measured fields.
namespace id {
enum : int {
  WindowLength = 1, MouseMode, Pause, BackToLive, ExportVisible, StopMotor,
  CaptureSeconds, StartCapture, StopCapture, Rate, Limit,
  StepKind, StepFrequency, StepPosition, PositionType, StopMode, StepSeconds, StartStep, Status,
  FirstSeries = 100,
};
}  // namespace id

enum Group { SeriesGroup, ViewGroup, CaptureGroup, StepGroup, StatusArea };
inline constexpr forms::GroupSpec kGroups[] = {
    {"曲线", 0, 0}, {"显示", 1, 0}, {"高速采集", 2, 0}, {"阶跃测试", 3, 0}, {nullptr, 4, 0},
};

inline constexpr Field kControls[] = {
    Field::List(id::WindowLength, "时间窗口:", kWindows).Object("windowLength").At(ViewGroup, 0),
    Field::List(id::MouseMode, "鼠标:", kMouseModes).Object("mouseMode").At(ViewGroup, 1),
    Field::Button(id::Pause, "暂停").Object("pause").At(ViewGroup, 2, 0),
    Field::Button(id::BackToLive, "回到实时").Object("backToLive").At(ViewGroup, 2, 1),
    Field::Button(id::ExportVisible, "导出可见部分...").Object("exportVisible").At(ViewGroup, 3).Span(2),
    // The motor stops from here as from every window of the tool.
    Field::Button(id::StopMotor, "停止电机").Object("stopMotor").At(ViewGroup, 4).Span(2),

    Field::Edit(id::CaptureSeconds, "采集时间(s):").Named("采集时间").Decimals(1).Object("captureSeconds").At(CaptureGroup, 0),
    Field::Button(id::StartCapture, "开始采集").Object("startCapture").At(CaptureGroup, 1, 0),
    Field::Button(id::StopCapture, "停止采集").Object("stopCapture").At(CaptureGroup, 1, 1),
    Field::Static(id::Rate, "").Object("captureRate").At(CaptureGroup, 2).Span(2),
    Field::Static(id::Limit, "").Object("lineLimit").At(CaptureGroup, 3).Span(2),

    Field::List(id::StepKind, "命令:", kStepKinds).Object("stepKind").At(StepGroup, 0),
    Field::Edit(id::StepFrequency, "换向频率(Hz):").Named("换向频率").Decimals(1).Object("stepFrequency").At(StepGroup, 1),
    Field::Edit(id::StepPosition, "转动位置:").Object("stepPosition").At(StepGroup, 2),
    Field::List(id::PositionType, "位置类型:", fields::PositionTypes).Object("positionType").At(StepGroup, 3),
    Field::List(id::StopMode, "停止方式:", fields::StopModes).Object("stopMode").At(StepGroup, 4),
    Field::Edit(id::StepSeconds, "测试时间(s):").Named("测试时间").Decimals(1).Object("stepSeconds").At(StepGroup, 5),
    Field::Button(id::StartStep, "开始阶跃测试").Object("startStep").At(StepGroup, 6).Span(2),

    Field::Static(id::Status, "").Object("plotStatus").At(StatusArea, 0).Span(2),
};

consteval size_t EntryOf(int controlId) {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    if (kControls[i].id == controlId) return i;
  }
  throw "no control with this id";
}

}  // namespace plotwindow
