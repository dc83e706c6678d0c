// The picture of the sample: drawn as it is in 2-D, or as an orthographic
// view of a 3-D sample that the user turns by dragging.
#include <Eigen/Dense>
#include <cmath>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "display/showshape.hpp"
#include "guisupport/cla.hpp"

namespace dg::actions {
namespace {

// The axes the sample is drawn in: the current figure's current axes.
Handle sample_axes(Session& session) {
  return session.graphics.gca();
}

// The principal axes of a 3-D mean shape (its landmarks about their centre),
// the largest first, as the rows of a rotation: the view a 3-D sample starts
// in shows the plane of the first two.
std::array<double, 9> principal_axes(const Matrix& mean) {
  const std::size_t k = mean.cols() / 3;
  Eigen::MatrixXd points(static_cast<Eigen::Index>(k), 3);
  for (std::size_t p = 0; p < k; ++p) {
    for (int c = 0; c < 3; ++c) points(static_cast<Eigen::Index>(p), c) = mean(0, 3 * p + c);
  }
  const Eigen::RowVector3d centre = points.colwise().mean();
  points.rowwise() -= centre;
  Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(points.transpose() * points);
  Eigen::Matrix3d axes = solver.eigenvectors();  // columns, smallest eigenvalue first
  if (solver.info() != Eigen::Success || !axes.allFinite()) axes.setIdentity();
  std::array<double, 9> rows{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) rows[3 * r + c] = axes(c, 2 - r);
  }
  // A right-handed frame, so the view is never a mirror image.
  const Eigen::Vector3d u(rows[0], rows[1], rows[2]), v(rows[3], rows[4], rows[5]);
  const Eigen::Vector3d w = u.cross(v);
  for (int c = 0; c < 3; ++c) rows[6 + c] = w(c);
  return rows;
}

// The view's rotation: the principal frame turned by the axes' View, azimuth
// about the screen's vertical, then elevation (90 looks straight down the
// third principal axis) about its horizontal.
Eigen::Matrix3d view_rotation(Session& session) {
  Eigen::Matrix3d frame;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) frame(r, c) = session.view_frame[3 * r + c];
  }
  const Matrix view = session.graphics.get(sample_axes(session), "View").matrix();
  const double pi = std::acos(-1.0);
  const double azimuth = view(0, 0) * pi / 180, tilt = (90 - view(0, 1)) * pi / 180;
  const Eigen::Matrix3d turn = (Eigen::AngleAxisd(tilt, Eigen::Vector3d::UnitX()) *
                                Eigen::AngleAxisd(azimuth, Eigen::Vector3d::UnitY()))
                                   .toRotationMatrix();
  return turn * frame;
}

}  // namespace

Matrix shown_sample(Session& session, const Matrix& data) {
  if (session.handler.sample.dimensions != 3 || data.empty()) return data;
  const Eigen::Matrix3d r = view_rotation(session);
  const std::size_t k = data.cols() / 3;
  Matrix shown(data.rows(), 2 * k);
  for (std::size_t i = 0; i < data.rows(); ++i) {
    const auto row = data.row(i);
    for (std::size_t p = 0; p < k; ++p) {
      const Eigen::Vector3d v(row[3 * p], row[3 * p + 1], row[3 * p + 2]);
      shown(i, 2 * p) = r.row(0).dot(v);
      shown(i, 2 * p + 1) = r.row(1).dot(v);
    }
  }
  return shown;
}

Matrix shown_mean(Session& session) {
  return shown_sample(session, mean_configuration(session.handler.sample));
}

void set_up_view(Session& session) {
  const Sample& sample = session.handler.sample;
  const bool solid = sample.dimensions == 3 && !sample.empty();
  if (solid) session.view_frame = principal_axes(mean_configuration(sample));
  if (!session.draws) return;
  Graphics& g = session.graphics;
  const Handle axes = sample_axes(session);
  g.set(axes, "DragMode", Value(solid ? "rotate" : "pan"));
  g.set(axes, "View", Value(Matrix{{0, 90}}));
  g.set(axes, "ViewChangedFcn", Value(solid ? callback_of(Action::TurnView) : ""));
}

void draw_sample(Session& session) {
  const HandlerState& h = session.handler;
  Graphics& g = session.graphics;
  session.picture = Picture::sample;
  if (designer_open(session)) return draw_designer(session);
  const Sample& s = h.sample;
  showshape(g, shown_sample(session, s.coordinates), s.landmarks(), "ko");
  g.axis_auto();
  g.axis_equal();
  const std::size_t k = s.landmarks();
  if (!h.tlengths.empty() && !list_misfit(h.tlengths, 2, 2, k)) draw_pairs(session);
  if (!h.tangles.empty() && !list_misfit(h.tangles, 2, 3, k)) draw_triples(session);
  number_landmarks(session);
}

void turn_view(Session& session) {
  if (session.handler.sample.empty() || session.handler.sample.dimensions != 3) return;
  session.designer.mean_shape = Matrix();  // the landmarks moved on the screen
  if (designer_open(session)) {
    draw_designer(session);
  } else {
    switch (session.picture) {
      case Picture::pairs:
        plot_protocol(session);
        break;
      case Picture::triples:
        show_angles(session);
        break;
      case Picture::specimens:
        draw_specimens_again(session);
        break;
      default:
        // Drawn anew, not over the view before the turn.
        cla(session.graphics);
        draw_sample(session);
        restyle(session);
        break;
    }
  }
  session.graphics.axis_auto();
  session.graphics.axis_equal();
}

void load_3d(Session& session) {
  TpsOptions options = session.tps_options;
  options.dimensions = 3;
  load(session, Source::Tps, options);
}

}  // namespace dg::actions
