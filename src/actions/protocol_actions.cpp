#include <algorithm>
#include <cmath>
#include <string>

#include "actions/dahand_actions.hpp"
#include "display/showshape.hpp"
#include "guisupport/cla.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {

Matrix mean_configuration(const Sample& sample) {
  const Matrix& data = sample.coordinates;
  Matrix mean(data.rows() ? 1 : 0, data.cols());
  for (std::size_t i = 0; i < data.rows(); ++i) {
    auto row = data.row(i);
    for (std::size_t c = 0; c < data.cols(); ++c) mean(0, c) += row[c];
  }
  for (std::size_t c = 0; c < mean.cols(); ++c) mean(0, c) /= static_cast<double>(data.rows());
  return mean;
}

namespace {

struct Point {
  double x, y;
};

Point landmark(const Matrix& mpt, std::size_t index) {
  return {mpt(0, 2 * index), mpt(0, 2 * index + 1)};
}

// The drawings of the pairs and of the triples carry a tag each, so a list
// drawn again replaces its earlier drawing instead of doubling it.
constexpr const char* kPairsTag = "PairsDrawn";
constexpr const char* kTriplesTag = "TriplesDrawn";

void segment(Graphics& g, std::initializer_list<Point> points, const char* style, const char* tag) {
  std::vector<double> x, y;
  for (const Point& p : points) x.push_back(p.x), y.push_back(p.y);
  g.set(g.plot(x, y, style), "Tag", Value(tag));
}

void label(Graphics& g, Point a, Point b, std::size_t row, const char* tag,
           const char* prefix = "") {
  Handle text =
      g.text((a.x + b.x) / 2, (a.y + b.y) / 2, prefix + num2str(static_cast<double>(row)));
  g.set(text, "Color", Value("r"));
  g.set(text, "Tag", Value(tag));
}

void erase(Graphics& g, const char* tag) {
  for (Handle h : g.find_by_tag(tag)) g.delete_object(h);
}

// Each landmark's number sits above and to the right of it by this share of
// the axes' wider span, in dark blue: clear of its marker and apart from the
// red row numbers, which sit at the middle of segments.
constexpr const char* kNumbersTag = "LandmarkNumber";
constexpr double kNumberOffset = 0.015;

void numbers_on(Session& session, const Matrix& mpt) {
  Graphics& g = session.graphics;
  erase(g, kNumbersTag);
  const auto [x0, x1, y0, y1] = g.axis_limits();
  const double offset = kNumberOffset * std::max(x1 - x0, y1 - y0);
  for (std::size_t p = 0; p < mpt.cols() / 2; ++p) {
    const Point at = landmark(mpt, p);
    // A landmark missing from every specimen has no place to be numbered at.
    if (!std::isfinite(at.x) || !std::isfinite(at.y)) continue;
    // A landmark at the right or top of the view keeps its number inside it.
    const double nx = at.x <= x1 ? std::min(at.x + offset, x1) : at.x + offset;
    const double ny = at.y <= y1 ? std::min(at.y + offset, y1) : at.y + offset;
    Handle text = g.text(nx, ny, std::to_string(p + 1));
    g.set(text, "Color", Value(Matrix{{0, 0, 0.55}}));
    g.set(text, "Tag", Value(kNumbersTag));
  }
}

void pairs_on(Session& session, const Matrix& mpt, bool labels, const char* prefix = "") {
  const Matrix& list = session.handler.tlengths;
  const auto index = checked_list(list, 2, mpt.cols() / 2).landmarks;
  Graphics& g = session.graphics;
  erase(g, kPairsTag);
  for (std::size_t i = 0; i < index.size() / 2; ++i) {
    Point a = landmark(mpt, index[2 * i]), b = landmark(mpt, index[2 * i + 1]);
    segment(g, {a, b}, "k", kPairsTag);
    if (labels) label(g, a, b, i + 1, kPairsTag, prefix);
  }
}

void triples_on(Session& session, const Matrix& mpt, const char* vertex_style,
                const char* prefix = "") {
  const Matrix& list = session.handler.tangles;
  const auto index = checked_list(list, 3, mpt.cols() / 2).landmarks;
  Graphics& g = session.graphics;
  erase(g, kTriplesTag);
  for (std::size_t i = 0; i < index.size() / 3; ++i) {
    Point a = landmark(mpt, index[3 * i]), v = landmark(mpt, index[3 * i + 1]),
          b = landmark(mpt, index[3 * i + 2]);
    segment(g, {a, v, b}, "k", kTriplesTag);
    segment(g, {v}, vertex_style, kTriplesTag);
    label(g, a, v, i + 1, kTriplesTag, prefix);
  }
}

}  // namespace

void draw_pairs(Session& session) {
  pairs_on(session, shown_mean(session), true);
}

void draw_triples(Session& session) {
  triples_on(session, shown_mean(session), "ko");
}

void number_landmarks(Session& session) {
  if (session.landmark_numbers && session.draws && !session.handler.sample.empty()) {
    numbers_on(session, shown_mean(session));
  }
}

void toggle_numbers(Session& session) {
  bool& on = session.landmark_numbers;
  on = !on;
  if (!on) {
    erase(session.graphics, kNumbersTag);
    return session.report("Landmark numbers hidden");
  }
  if (no_sample(session)) return;
  number_landmarks(session);
  session.report("Landmark numbers shown");
}

void restyle(Session& session) {
  for (const Styling& call : session.styling) {
    if (session.graphics.is_handle(call.axes))
      call.command(session.graphics, call.axes, call.value);
  }
}

void plot_protocol(Session& session) {
  if (no_sample(session)) return;
  if (session.handler.tlengths.empty()) return session.report("Load a pair list first.");
  session.picture = Picture::pairs;
  Matrix mpt = shown_mean(session);
  cla(session.graphics);
  showshape(session.graphics, mpt, mpt.cols() / 2, "ko");
  pairs_on(session, mpt, true);
  if (session.landmark_numbers) numbers_on(session, mpt);
  restyle(session);
}

void show_angles(Session& session) {
  if (no_sample(session)) return;
  if (session.handler.tangles.empty()) return session.report("Load a triple list first.");
  session.picture = Picture::triples;
  Matrix mpt = shown_mean(session);
  cla(session.graphics);
  showshape(session.graphics, mpt, mpt.cols() / 2, "ko");
  session.graphics.hold(true);
  triples_on(session, mpt, "ro");
  if (session.landmark_numbers) numbers_on(session, mpt);
  restyle(session);
}

void draw_design(Session& session, const Matrix& mpt, std::span<const std::size_t> picked) {
  if (mpt.empty() || !session.draws) return;
  Graphics& g = session.graphics;
  cla(g);
  showshape(g, mpt, mpt.cols() / 2, "ko");
  // Lists that do not fit the sample are not drawn; the panel says why.
  const std::size_t k = mpt.cols() / 2;
  if (!session.handler.tlengths.empty() && !list_misfit(session.handler.tlengths, 2, 2, k)) {
    pairs_on(session, mpt, true, "d");
  }
  if (!session.handler.tangles.empty() && !list_misfit(session.handler.tangles, 2, 3, k)) {
    triples_on(session, mpt, "ko", "a");
  }
  numbers_on(session, mpt);
  restyle(session);  // the picks keep their own look
  for (std::size_t number : picked) {
    const Point at = landmark(mpt, number - 1);
    Handle mark = g.plot(std::vector<double>{at.x}, std::vector<double>{at.y}, "ro");
    g.set(mark, "MarkerFaceColor", Value("r"));
    g.set(mark, "MarkerSize", Value(9.0));
  }
}

}  // namespace dg::actions
