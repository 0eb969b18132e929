// The "电机参数" page as data: the whole motor parameter block in one group
// with the learning controls, the phase-order bytes with a codec of their
// own, and the texts of a learning run.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "driver/LearningRun.h"
#include "driver/RegisterMap.h"
#include "fields/ParamTables.h"
#include "ui/forms/Fields.h"

namespace forms::motorparam {

namespace id {
constexpr int PhaseOrder = 1059;
constexpr int LearnState = 1111;
constexpr int StartLearning = 1110;
constexpr int Read = 1097;
constexpr int Configure = 1063;
}  // namespace id

// Items of the learning-state list, by the value of bit 0.
constexpr int NotLearned = fields::motor::NotLearned;
constexpr int Learned = fields::motor::Learned;

constexpr const char* StartLearningText = "开始学习";
constexpr const char* LearningText = "正在学习";
constexpr const char* NoWorkerText = "无法启动电机学习";

std::span<const GroupSpec> Groups();
// Every register of MotorParamBlock that the page shows.
std::span<const FieldSpec> Params();
// Before the first read: empty edits, the first algorithm, the check boxes
// clear and no learning state.
FormValues InitialParams();
// The buttons.
std::span<const FieldSpec> Controls();

// The phase order a successful run found, words 5..10 of the block, each
// word whole ("%02X"), so a value beyond a byte shows as it came.
std::string LearnedPhaseOrder(const LearningBlock& block);
// What a run that ended by itself tells the operator.
std::string LearningMessage(const LearningReport& report);

}  // namespace forms::motorparam
