// What the parameter commands report: the differences, the blocks written
// and read back, and a restore's question left open, as text or as JSON.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "paramfile/RestorePlan.h"

namespace cli {

nlohmann::json KeysJson(const std::vector<size_t>& blocks);
nlohmann::json DifferenceJson(const paramfile::Difference& row);
std::string DifferenceLines(const std::vector<paramfile::Difference>& rows, bool readBack);

// A step that did not end: cancelled (interrupted) or failed on the line.
int Failed(const Program& program, const paramfile::StepResult& end);

// What a write or a restore did: the blocks written, whether each read back
// as written, and which fields did not; `extra` joins the JSON.
int Report(const Program& program, const paramfile::RestoreReport& report,
           nlohmann::json extra = nlohmann::json::object());

// The question the plan waits on, for a script: its name and its text;
// null when it waits on none.
nlohmann::json QuestionJson(const paramfile::RestorePlan& plan);

// A question left unanswered: nothing written, and the JSON says which.
int LeftUnanswered(const Program& program, const paramfile::RestorePlan& plan,
                   nlohmann::json extra = nlohmann::json::object());

}  // namespace cli
