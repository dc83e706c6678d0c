#include <cmath>

#include "actions/dahand_actions.hpp"
#include "output/dataset_file.hpp"

namespace dg::actions {
namespace {

constexpr double kPi = 3.141592653589793;

const char* title(Export what) {
  switch (what) {
    case Export::Angles:
    case Export::Degrees:
      return "File Name for Angular Dataset";
    case Export::Lengths:
      return "File Name for Traditional Dataset";
    case Export::LogLengths:
      return "File Name for Log Transformed Traditional Dataset";
    case Export::Constrained:
      return "File Name for Constrained Traditional Dataset";
  }
  return "";
}

// Natural logarithms of the distances; the size column stays as it is.
void log_transform(std::span<double> row) {
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] = std::log(row[j]);
}

// Distances divided by the root sum of their squares; the size column stays.
void size_constraint(std::span<double> row) {
  double sum = 0;
  for (std::size_t j = 0; j + 1 < row.size(); ++j) sum += row[j] * row[j];
  double length = std::sqrt(sum);
  for (std::size_t j = 0; j + 1 < row.size(); ++j) row[j] /= length;
}

void degrees(std::span<double> row) {
  for (double& v : row) v = (v * 180) / kPi;
}

}  // namespace

void save(Session& session, Export what) {
  bool angular = what == Export::Angles || what == Export::Degrees;
  Matrix angles;
  if (angular) angles = tradangle(session.handler.data, session.handler.tangles);
  auto choice = session.platform.put_file("*.*", title(what));
  if (choice) {
    const Matrix& rows = angular ? angles : session.handler.traddata;
    RowTransform transform;
    if (what == Export::Degrees) transform = degrees;
    if (what == Export::LogLengths) transform = log_transform;
    if (what == Export::Constrained) transform = size_constraint;
    write_dataset(choice->path(), rows, transform);
  }
  if (what == Export::Lengths || what == Export::Constrained) enable(session, "Save", false);
}

}  // namespace dg::actions
