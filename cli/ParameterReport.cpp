#include "cli/ParameterReport.h"

#include "lang/Texts.h"

namespace cli {

using lang::Fill;
using lang::Tr;
using nlohmann::json;
namespace pf = paramfile;

json KeysJson(const std::vector<size_t>& blocks) {
  json keys = json::array();
  for (const size_t index : blocks) keys.push_back(pf::BlockAt(index).key);
  return keys;
}

json DifferenceJson(const pf::Difference& row) {
  return {{"block", pf::BlockAt(row.block).key}, {"key", row.key},   {"name", row.name},
          {"device", row.device},                {"file", row.file}, {"unit", row.unit}};
}

namespace {

json MismatchJson(const pf::Difference& row) {
  return {{"block", pf::BlockAt(row.block).key}, {"key", row.key}, {"name", row.name}, {"wrote", row.file},
          {"read", row.device}};
}

}  // namespace

// "电机参数配置 额定电流  2.00 -> 1.50 A", one line per row.
std::string DifferenceLines(const std::vector<pf::Difference>& rows, bool readBack) {
  std::vector<TextRow> lines;
  for (const pf::Difference& row : rows) {
    // A list's texts are the table's, shown in the language in use.
    const std::string file = Tr(row.file), device = Tr(row.device);
    const std::string change = readBack ? Fill(Tr("写入 {1}, 读回 {2}"), {file, device}) : device + " -> " + file;
    lines.push_back({Tr(std::string(pf::BlockAt(row.block).title)) + " " + Tr(row.name), change, Tr(row.unit)});
  }
  return FormatRows(lines);
}

int Failed(const Program& program, const pf::StepResult& end) {
  if (end.cancelled) {
    program.Say(Tr(pf::CancelledText));
    return Interrupted;
  }
  return program.Fail(end.result, end.step);
}

int Report(const Program& program, const pf::RestoreReport& report, json extra) {
  if (program.options.json) {
    json mismatches = json::array();
    for (const pf::Difference& row : report.mismatches) mismatches.push_back(MismatchJson(row));
    extra["written"] = KeysJson(report.written);
    extra["verified"] = report.Verified();
    extra["mismatches"] = mismatches;
    program.PrintJson(extra);
  } else if (!report.written.empty()) {
    program.Print(Fill(Tr("已写入: {1}"), {pf::BlockKeys(report.written)}) + "\n" +
                  (report.Verified() ? std::string(Tr("读回一致")) + "\n" : DifferenceLines(report.mismatches, true)));
  }
  if (!report.end.Done()) {
    const int status = Failed(program, report.end);
    program.Say(report.written.empty() ? std::string(Tr("未写入任何参数块"))
                                       : Fill(Tr("已写入: {1}"), {pf::BlockKeys(report.written)}));
    return status;
  }
  if (!report.mismatches.empty()) {
    for (const pf::Difference& row : report.mismatches) {
      program.Say(Fill(Tr("读回与写入不同: {1} {2}: 写入 {3}, 读回 {4}"),
                       {Tr(pf::BlockAt(row.block).title), Tr(row.name), Tr(row.file), Tr(row.device)}));
    }
    return ReadBackDiffers;
  }
  return Done;
}

json QuestionJson(const pf::RestorePlan& plan) {
  if (plan.Next() != pf::Due::Answer) return nullptr;
  return {{"question", pf::QuestionName(plan.Pending().question)}, {"text", plan.Pending().text}};
}

int LeftUnanswered(const Program& program, const pf::RestorePlan& plan, json extra) {
  if (program.options.json) {
    extra["written"] = json::array();
    extra["verified"] = false;
    extra["mismatches"] = json::array();
    extra["unanswered"] = QuestionJson(plan);
    program.PrintJson(extra);
  }
  return Unanswered;
}

}  // namespace cli
