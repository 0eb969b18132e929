// A unit's report page: the record as a technician reads and prints it, one
// A4 page a unit. The header (plan, station, operator, serial, the driver's
// identity, the times, the outcome), each step and measurement coloured by
// its outcome, and a plot of each run step's readings with its limits. One
// self-contained XHTML document (no script, nothing fetched), so that any
// browser shows it and any XML parser reads it. Pure, like Record.h.
#pragma once

#include <span>
#include <string>

#include "testplan/Plan.h"
#include "testrun/Record.h"
#include "testrun/Runner.h"

namespace testrun {

std::string ReportHtml(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit);

// The plot of one run step's readings: a panel for each field its
// measurements take, against the time from the command, the measuring
// window shaded and the limits of the field's level (mean, minimum,
// maximum) dashed; each series thinned to the lowest and highest reading of
// each pixel column. An inline SVG element, its panels sharing `fitIn`
// units of height (the plot is ReportPlotWidth wide) down to a least
// height each; 0: each panel its full height.
std::string RunPlotSvg(const testplan::Run& run, const RunSamples& samples, double fitIn = 0);

// The plot's pixel columns: at most two points of a series in each.
inline constexpr int ReportPlotColumns = 500;
// The plot's width in its own units: the columns and the axes' room.
inline constexpr double ReportPlotWidth = 54 + ReportPlotColumns + 8;

}  // namespace testrun
