#include "testrun/Report.h"

#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "testplan/PlanText.h"

namespace testrun {
namespace {

using lang::Tr;

// The plan's hash as the header shows it: enough digits to tell two
// revisions apart at a glance; the record keeps the whole.
constexpr size_t kHashDigits = 12;

// Printed on one A4 page: small type, the plots scaled to the page's width,
// the outcome's colours kept by the printer.
constexpr const char* kStyle = R"(
@page { size: A4; margin: 10mm; }
html { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
body { font: 8.5pt sans-serif; color: #111; margin: 0 auto; max-width: 190mm; }
h1 { font-size: 13pt; margin: 0 0 2mm 0; }
table { border-collapse: collapse; width: 100%; margin-bottom: 2mm; }
th, td { border: 0.5pt solid #aaa; padding: 0.4mm 1.5mm; text-align: left; vertical-align: top; }
th { background: #eee; font-weight: 600; }
table.header th { width: 14%; }
td.value { text-align: right; white-space: nowrap; }
tr.measurement td:first-child { padding-left: 6mm; }
.PASS { background: #d4eed4; }
.MARGINAL { background: #fbeeb8; }
.FAIL { background: #f6c9c9; }
.ERROR { background: #fbd9a6; }
.ABORTED { background: #dcdcdc; }
.not-reached { color: #888; }
.outcome { font-weight: 700; }
p.stop { margin: 0 0 2mm 0; font-weight: 600; }
figure { margin: 0 0 2mm 0; break-inside: avoid; page-break-inside: avoid; }
figcaption { font-weight: 600; }
svg { display: block; width: 100%; height: auto; }
svg text { font: 8px sans-serif; fill: #222; }
svg .tick { text-anchor: end; }
svg .time { text-anchor: middle; }
svg .axis, svg .limitlabel { text-anchor: end; }
svg .limitlabel { fill: #b22; }
svg .empty { text-anchor: middle; fill: #888; }
svg .frame { fill: none; stroke: #999; stroke-width: 0.5; }
svg .window { fill: #e3ecf7; stroke: none; }
svg .limit { stroke: #c22; stroke-width: 0.8; stroke-dasharray: 4 3; }
svg .series { fill: none; stroke: #1a56a0; stroke-width: 0.8; stroke-linejoin: round; }
svg .tickline { stroke: #999; stroke-width: 0.5; }
@media print { body { max-width: none; } }
)";

std::string Cell(const std::string& tag, const std::string& text, const std::string& cls = {}) {
  return "<" + tag + (cls.empty() ? "" : " class=\"" + cls + "\"") + ">" + MarkupText(text) + "</" + tag + ">";
}

std::string OutcomeCell(const std::optional<Outcome>& outcome) {
  if (!outcome) return Cell("td", Tr("未执行"), "not-reached");
  return Cell("td", OutcomeName(*outcome), std::string("outcome ") + OutcomeName(*outcome));
}

std::string RowClass(const std::optional<Outcome>& outcome) {
  return outcome ? OutcomeName(*outcome) : "not-reached";
}

std::string Header(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit) {
  const std::string none = "-";
  const auto of = [&](const std::string& (DeviceIdentity::*text)() const) {
    return unit.identity ? fields::Printable(((*unit.identity).*text)()) : none;
  };
  const std::pair<const char*, std::string> rows[][2] = {
      {{"测试计划", plan.name}, {"修订", plan.revision}},
      {{"计划哈希", plan.sha256.substr(0, kHashDigits)}, {"工位", info.station}},
      {{"操作员", info.operatorName.empty() ? none : info.operatorName}, {"序列号", info.serial}},
      {{"标识", of(&DeviceIdentity::Identity)}, {"型号", of(&DeviceIdentity::Model)}},
      {{"版本", of(&DeviceIdentity::Version)}, {"记录", info.recordId}},
      {{"开始", TimeText(unit.started)}, {"结束", TimeText(unit.ended)}},
  };
  std::string html = "<table class=\"header\">\n";
  for (const auto& row : rows) {
    html += "<tr>";
    for (const auto& [title, value] : row) html += Cell("th", Tr(title)) + Cell("td", value);
    html += "</tr>\n";
  }
  html += "<tr>" + Cell("th", Tr("结果")) + "<td colspan=\"3\" class=\"outcome " + OutcomeName(unit.outcome) +
          "\">" + OutcomeName(unit.outcome) + "</td></tr>\n";
  return html + "</table>\n";
}

std::string MeasurementRow(const MeasurementResult& measured) {
  const testplan::Measurement& m = measured.measurement;
  const fields::StatusField& field = fields::StatusFields()[m.field];
  const std::string value =
      measured.value ? fields::CFormat("%.*f", fields::StatusDecimals(m.field) + 2, *measured.value) + " " +
                           Tr(std::string(field.unit))
                     : std::string("-");
  return "<tr class=\"measurement " + RowClass(measured.outcome) + "\"><td colspan=\"3\">" +
         MarkupText(testplan::MeasurementText(m)) + "</td>" + Cell("td", value, "value") +
         (measured.outcome ? Cell("td", OutcomeName(*measured.outcome), "outcome")
                           : Cell("td", "-", "not-reached")) +
         Cell("td", lang::Fill(Tr("{1} 个读数"), {std::to_string(measured.readings)})) + "</tr>\n";
}

std::string Steps(const testplan::Plan& plan, const UnitResult& unit) {
  std::string html = "<table class=\"steps\">\n<tr>";
  for (const char* title : {"步骤", "名称", "类型", "时长 [s]", "结果", "说明"}) html += Cell("th", Tr(title));
  html += "</tr>\n";
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    const testplan::Step& step = plan.steps[i];
    const StepResult& result = unit.steps[i];
    const std::string seconds =
        result.outcome ? fields::CFormat("%.1f", std::chrono::duration<double>(result.ended - result.started).count())
                       : std::string("-");
    html += "<tr class=\"" + RowClass(result.outcome) + "\">" + Cell("td", std::to_string(i + 1)) +
            Cell("td", step.name) + Cell("td", testplan::StepTypeText(step.kind)) + Cell("td", seconds, "value") +
            OutcomeCell(result.outcome) + Cell("td", result.detail) + "</tr>\n";
    for (const MeasurementResult& measured : result.measurements) html += MeasurementRow(measured);
  }
  return html + "</table>\n";
}

// The plots share what one A4 page leaves below the tables of `rows` rows:
// 277 mm inside the margins, the title, the stop's line and a reserve for
// lines that wrap, about 4.6 mm a row, and 6 mm a plot's caption. A plot no
// smaller than a trend can be read in goes on to a second page.
std::string Plots(const testplan::Plan& plan, const UnitResult& unit, size_t rows) {
  std::vector<size_t> plotted;
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    if (std::holds_alternative<testplan::Run>(plan.steps[i].what) && unit.steps[i].samples) plotted.push_back(i);
  }
  if (plotted.empty()) return {};
  constexpr double kPageMm = 277, kReserveMm = 22, kRowMm = 4.6, kCaptionMm = 6, kPlotWidthMm = 190;
  const double count = static_cast<double>(plotted.size());
  const double eachMm = (kPageMm - kReserveMm - static_cast<double>(rows) * kRowMm) / count - kCaptionMm;
  const double height = std::max(1.0, eachMm) * ReportPlotWidth / kPlotWidthMm;
  std::string html;
  for (const size_t i : plotted) {
    const auto& run = std::get<testplan::Run>(plan.steps[i].what);
    html += "<figure>\n<figcaption>" + MarkupText(std::to_string(i + 1) + ". " + plan.steps[i].name) +
            "</figcaption>\n" + RunPlotSvg(run, *unit.steps[i].samples, height) + "</figure>\n";
  }
  return html;
}

size_t RowsOf(const std::string& html) {
  size_t rows = 0;
  for (size_t at = html.find("<tr"); at != std::string::npos; at = html.find("<tr", at + 3)) ++rows;
  return rows;
}

}  // namespace

std::string ReportHtml(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit) {
  const std::string title = std::string(Tr("测试报告")) + " " + info.serial + " " + OutcomeName(unit.outcome);
  std::string html = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"";
  html += lang::Code(lang::InUse());
  html += "\">\n<head>\n<meta charset=\"UTF-8\"/>\n<title>" + MarkupText(title) + "</title>\n<style>" + kStyle +
          "</style>\n</head>\n<body>\n<h1>" + MarkupText(std::string(Tr("测试报告")) + ": " + plan.name) + "</h1>\n";
  html += Header(plan, info, unit);
  if (const std::string stop = EndStopText(unit); !stop.empty()) {
    html += "<p class=\"stop " + std::string(unit.endStop == EndStop::Sent ? "PASS" : "ERROR") + "\">" +
            MarkupText(stop) + "</p>\n";
  }
  html += Steps(plan, unit);
  html += Plots(plan, unit, RowsOf(html)) + "</body>\n</html>\n";
  return html;
}

}  // namespace testrun
