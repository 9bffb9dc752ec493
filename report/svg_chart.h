// SPDX-License-Identifier: GPL-3.0-or-later
// Charts drawn when the page is written, as inline SVG: readable without
// scripts, coloured by the site's style sheet (the bars take the heading
// colour, the line the link colour, the labels the text colour), with axis
// labels and a text alternative for screen readers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

struct ChartSeries {
  std::string label;            // e.g. "Kills"
  std::vector<int64_t> values;  // one per column
};

struct Chart {
  std::string title;                 // the chart's caption and accessible name
  std::vector<std::string> columns;  // a label per column (dates, hours, weeks)
  ChartSeries bars;                  // drawn as bars against the left axis
  ChartSeries line;                  // drawn as a line against the right axis; may be empty
};

// Appends the chart as an <svg> element that scales to the width it is
// given. Texts are escaped.
void AppendChartSvg(std::string& out, const Chart& chart);

}  // namespace varnokel
