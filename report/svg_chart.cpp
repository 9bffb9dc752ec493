#include "report/svg_chart.h"

#include <algorithm>

#include "report/html_escape.h"
#include "report/number_text.h"

namespace varnokel {

namespace {

// The drawing's own units; the browser scales it to the page's width (at
// most 1.5 times, see the page style), where a phone shrinks it to about
// 0.8: the style sets the text larger there and hides every other column
// label ("neben"), so that it stays readable.
constexpr int kWidth = 480;
constexpr int kHeight = 200;
constexpr int kLeft = 56;   // room for the left axis labels
constexpr int kRight = 56;  // and the right ones
constexpr int kTop = 12;
constexpr int kBottom = 44;  // room for the column labels and, below them, the axis names
constexpr int kColumnLabelDrop = 16;
constexpr size_t kMostColumnLabels = 8;

int64_t Largest(const std::vector<int64_t>& values) {
  int64_t most = 0;
  for (int64_t v : values) most = std::max(most, v);
  return most;
}

// A coordinate: rounded to a tenth, then cut to the whole unit.
void AppendNum(std::string& out, double value) {
  AppendNumber(out, static_cast<int64_t>(value * 10 + (value < 0 ? -0.5 : 0.5)) / 10);
}

// ` name="value"`, the value a coordinate.
void AppendAttribute(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendNum(out, value);
  out += '"';
}

void AppendText(std::string& out, double x, double y, std::string_view anchor,
                std::string_view text, std::string_view css_class = "") {
  out += "<text";
  if (!css_class.empty()) {
    out += " class=";
    out += css_class;
  }
  AppendAttribute(out, "x", x);
  AppendAttribute(out, "y", y);
  out += " text-anchor=\"";
  out += anchor;
  out += "\" font-size=\"12\" fill=\"currentColor\">";
  AppendHtmlEscaped(out, text);
  out += "</text>";
}

// The text alternative: what the chart shows, in words.
std::string Description(const Chart& chart) {
  std::string text =
      chart.bars.label + " (Balken, Höchstwert " + std::to_string(Largest(chart.bars.values)) + ")";
  if (!chart.line.values.empty())
    text += " und " + chart.line.label + " (Linie, Höchstwert " +
            std::to_string(Largest(chart.line.values)) + ")";
  if (!chart.columns.empty())
    text += " von " + chart.columns.front() + " bis " + chart.columns.back();
  return text;
}

}  // namespace

void AppendChartSvg(std::string& out, const Chart& chart) {
  const size_t columns = std::max<size_t>(chart.columns.size(), 1);
  const double plot_width = kWidth - kLeft - kRight;
  const double plot_height = kHeight - kTop - kBottom;
  const double step = plot_width / static_cast<double>(columns);
  const int64_t bar_top = std::max<int64_t>(Largest(chart.bars.values), 1);
  const int64_t line_top = std::max<int64_t>(Largest(chart.line.values), 1);
  const double base = kTop + plot_height;

  out += "<svg class=chart viewBox=\"0 0 " + std::to_string(kWidth) + " " +
         std::to_string(kHeight) + "\" role=\"img\" aria-label=\"";
  AppendHtmlEscaped(out, chart.title);
  out += "\"><title>";
  AppendHtmlEscaped(out, chart.title);
  out += "</title><desc>";
  AppendHtmlEscaped(out, Description(chart));
  out += "</desc><g class=text>";
  out += "<line";
  AppendAttribute(out, "x1", kLeft);
  AppendAttribute(out, "y1", base);
  AppendAttribute(out, "x2", kWidth - kRight);
  AppendAttribute(out, "y2", base);
  out += " stroke=\"currentColor\"/>";
  AppendText(out, kLeft - 4, kTop + 10, "end", std::to_string(bar_top));
  AppendText(out, kLeft - 4, base, "end", "0");
  AppendText(out, 2, kHeight - 4, "start", chart.bars.label);
  if (!chart.line.values.empty()) {
    AppendText(out, kWidth - kRight + 4, kTop + 10, "start", std::to_string(line_top));
    AppendText(out, kWidth - kRight + 4, base, "start", "0");
    AppendText(out, kWidth - 2, kHeight - 4, "end", chart.line.label);
  }
  const size_t label_every = (columns + kMostColumnLabels - 1) / kMostColumnLabels;
  for (size_t k = 0; k < chart.columns.size(); k += label_every)
    AppendText(out, kLeft + step * (static_cast<double>(k) + 0.5), base + kColumnLabelDrop,
               "middle", chart.columns[k], k / label_every % 2 == 1 ? "neben" : "");
  out += "</g><g class=ueberschrift fill=\"currentColor\">";
  for (size_t k = 0; k < chart.bars.values.size() && k < columns; ++k) {
    const double height = plot_height *
                          static_cast<double>(std::max<int64_t>(chart.bars.values[k], 0)) /
                          static_cast<double>(bar_top);
    out += "<rect";
    AppendAttribute(out, "x", kLeft + step * static_cast<double>(k) + step * 0.1);
    AppendAttribute(out, "y", base - height);
    AppendAttribute(out, "width", step * 0.8);
    AppendAttribute(out, "height", height);
    out += "/>";
  }
  out += "</g>";
  if (!chart.line.values.empty()) {
    out += "<a><polyline fill=\"none\" stroke=\"currentColor\" stroke-width=\"2\" points=\"";
    for (size_t k = 0; k < chart.line.values.size() && k < columns; ++k) {
      const double y = base - plot_height *
                                  static_cast<double>(std::max<int64_t>(chart.line.values[k], 0)) /
                                  static_cast<double>(line_top);
      AppendNum(out, kLeft + step * (static_cast<double>(k) + 0.5));
      out += ',';
      AppendNum(out, y);
      out += ' ';
    }
    out += "\"/></a>";
  }
  out += "</svg>";
}

}  // namespace varnokel
