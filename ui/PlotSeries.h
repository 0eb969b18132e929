// What the live plot and the step-test overlay share: the measured status
// values as series (name, unit, colour), the axis each series of a unit
// goes to (at most two at once), and the vertical range fitted to what is
// visible.
#pragma once

#include <QColor>
#include <QString>
#include <cstddef>
#include <span>
#include <vector>

class QCustomPlot;
class QCPAxis;
class QCPGraph;

namespace plot {

// "相电流 [A]", in the language in use.
QString SeriesName(size_t field);
QColor SeriesColor(size_t field);
// The units of `fields` in first-seen order.
std::vector<QString> UnitsOf(std::span<const size_t> fields);
// At most two units can be shown at once, one per side.
constexpr size_t MaxAxes = 2;

// The left axis for the first unit, the right one for the second; the
// right one is shown only when it is used. Labels name the series.
QCPAxis* AxisFor(QCustomPlot& plot, std::span<const size_t> shown, size_t field);
void LabelAxes(QCustomPlot& plot, std::span<const size_t> shown);
// Fits each value axis to its visible graphs over the key axis's range; a
// flat series lies higher on the left axis than on the right.
void FitValueAxes(QCustomPlot& plot);
// A value in its field's unit with its decimals ("1.23A"), "-" for none.
QString ValueText(size_t field, double value);

}  // namespace plot
