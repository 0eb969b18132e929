// Loading a test plan file. The file is untrusted input: anything that does
// not fit (an unknown step or key, an unknown field, a limit in a unit that
// is not the field's, a parameter file that does not load, a bad pattern, a
// range the field cannot hold, a window of no length) refuses the whole
// plan, before anything is sent, with a message that names the step by its
// number and name and the field.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "testplan/Plan.h"

namespace testplan {

// The largest plan file read; a plan of a hundred steps is some 20 kB.
inline constexpr size_t MaxPlanBytes = 1 << 20;
inline constexpr size_t MaxSteps = 500;
inline constexpr size_t MaxMeasurements = 64;

// A file a plan names, as read: where it was read from and its bytes, or
// why it could not be.
struct NamedFile {
  std::string path;
  std::string bytes;
  std::string refusal;
};
// Reads the file a plan names ("factory.json"); the loader has already
// checked that the name stays beside the plan.
using FileSource = std::function<NamedFile(const std::string& name)>;
// The files in the folder of the plan at `planPath`.
FileSource FilesBeside(const std::string& planPath);

struct Loaded {
  std::optional<Plan> plan;
  std::string refusal;
};

// The plan in `bytes`, with its parameter files from `files`.
Loaded ParsePlan(std::string_view bytes, const FileSource& files);
// Reads the plan at `path` and the files beside it ("-": the plan on
// standard input, its files in the current folder); the refusal begins
// with the plan's path.
Loaded LoadPlan(const std::string& path);

}  // namespace testplan
