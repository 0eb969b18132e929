// A run step's measurement: a statistic of one status field with its limits,
// written in the field's own unit as the status box shows it:
//   {"field": "motorSpeed", "stat": "mean", "low": 950, "high": 1050,
//    "unit": "RPM", "marginal": 10}
#include <algorithm>
#include <cctype>

#include "fields/CFormat.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "testplan/Steps.h"

namespace testplan {
namespace {

using lang::Fill;
using lang::Tr;

bool SameUnit(std::string_view given, std::string_view unit) {
  return given.size() == unit.size() && std::equal(given.begin(), given.end(), unit.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// The field's unit in either language, its letters in either case: "RPM"
// and "rpm", "脉冲" and its English.
bool UnitOfField(std::string_view given, const char* unit) {
  return SameUnit(given, unit) || SameUnit(given, lang::In(lang::Language::English, unit));
}

std::string MeasuredKeys() {
  std::string keys;
  for (const size_t i : fields::MeasuredStatusFields()) keys += (keys.empty() ? "" : ", ") + std::string(fields::StatusFields()[i].key);
  return keys;
}

std::optional<size_t> FieldOfKey(const std::string& key) {
  const auto all = fields::StatusFields();
  for (size_t i = 0; i < all.size(); ++i) {
    if (key == all[i].key) return i;
  }
  return std::nullopt;
}

}  // namespace

std::string ReadMeasurement(const Json& value, size_t number, const std::string& where, Measurement& measurement) {
  const std::string at = Fill(Tr("{1}: 第 {2} 个测量"), {where, std::to_string(number)});
  if (!value.is_object()) return Fill(Tr("{1}: 应为对象, 如 {2}"), {at, R"({"field": "motorSpeed", "stat": "mean", "low": 950, "high": 1050, "unit": "RPM"})"});
  std::string key;
  if (std::string refusal = Members(value, at).Text("field", key, 64); !refusal.empty()) return refusal;
  const std::optional<size_t> field = FieldOfKey(key);
  Members members(value, Fill(Tr("{1} ({2})"), {at, key}));
  members.Find("field");
  if (!field) return members.Refuse("field", Fill(Tr("不是状态字段; 可测量的字段: {1}"), {MeasuredKeys()}));
  const fields::StatusField& status = fields::StatusFields()[*field];
  const std::optional<fields::StatusRange> reach = fields::StatusValueRange(*field);
  if (!reach) {
    return members.Refuse("field", Fill(Tr("{1} 是状态, 不是测量值; 可测量的字段: {2}"), {Tr(status.name), MeasuredKeys()}));
  }
  measurement.field = *field;
  uint16_t statistic = 0;
  if (std::string refusal = members.Choice("stat", StatisticNames, statistic, std::nullopt); !refusal.empty()) {
    return refusal;
  }
  measurement.statistic = static_cast<Statistic>(statistic);
  std::string unit;
  const std::string unitWanted = Fill(Tr("应为该字段的单位 {1}"), {Tr(status.unit)});
  if (std::string refusal = members.Text("unit", unit, 32); !refusal.empty()) {
    return members.Find("unit") == nullptr ? members.Refuse("unit", Fill(Tr("缺少 ({1})"), {unitWanted})) : refusal;
  }
  if (!UnitOfField(unit, status.unit)) return members.Refuse("unit", Fill(Tr("{1}, 不是 {2}"), {unitWanted, unit}));
  std::optional<double> marginal;
  for (const std::string& refusal : {members.Number("low", measurement.low), members.Number("high", measurement.high),
                                    members.Number("marginal", marginal)}) {
    if (!refusal.empty()) return refusal;
  }
  if (std::string refusal = members.Unasked(); !refusal.empty()) return refusal;
  if (!measurement.low && !measurement.high) return members.Refuse(Tr("应至少给出 \"low\" 或 \"high\""));
  // A deviation spreads at most half the field's reach.
  const bool spread = measurement.statistic == Statistic::StandardDeviation;
  const double lowest = spread ? 0 : reach->low;
  const double highest = spread ? (reach->high - reach->low) / 2 : reach->high;
  const int decimals = fields::StatusDecimals(*field);
  const std::string reachText = Fill(Tr("{1} 到 {2} {3}"), {fields::CFormat("%.*f", decimals, lowest),
                                                             fields::CFormat("%.*f", decimals, highest), Tr(status.unit)});
  for (const auto& [limit, name] : {std::pair{measurement.low, "low"}, std::pair{measurement.high, "high"}}) {
    if (limit && (*limit < lowest || *limit > highest)) {
      return members.Refuse(name, Fill(Tr("超出该字段能取的范围 ({1})"), {reachText}));
    }
  }
  if (measurement.low && measurement.high && *measurement.low > *measurement.high) {
    return members.Refuse(Tr("\"low\" 大于 \"high\""));
  }
  measurement.marginal = marginal.value_or(0);
  const double band = measurement.low && measurement.high ? (*measurement.high - *measurement.low) / 2 : highest - lowest;
  if (measurement.marginal < 0 || measurement.marginal > band) {
    return members.Refuse("marginal", Fill(Tr("应为 0 到 {1} {2} (不超过限值之间的一半)"),
                                           {fields::CFormat("%.*f", decimals, band), Tr(status.unit)}));
  }
  return {};
}

}  // namespace testplan
