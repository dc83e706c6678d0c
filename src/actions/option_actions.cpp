#include "actions/dahand_actions.hpp"
#include "input/missing_code.hpp"
#include "input/tps_check.hpp"

namespace dg::actions {
namespace {

void show_checked(Session& session, std::string_view tag, bool on) {
  set_tagged(session, tag, "Checked", Value(on ? "on" : "off"));
}

}  // namespace

void check_files(Session& session) {
  const std::vector<FileChoice> choices = session.platform.get_files("*.tps", "Check TPS file");
  if (choices.empty()) return;
  std::string report;
  for (const FileChoice& choice : choices) {
    if (!report.empty()) report += "\n";
    report += check_text(check_tps_file(choice.path(), session.tps_options, load_steps()));
  }
  session.platform.show_report("Check file", report);
}

void toggle_curves(Session& session) {
  bool& on = session.tps_options.curves;
  on = !on;
  show_checked(session, "CurvesMenu", on);
}

void toggle_missing(Session& session) {
  bool& on = session.tps_options.missing;
  on = !on;
  show_checked(session, "MissingMenu", on);
}

void toggle_converge(Session& session) {
  bool& on = session.converge;
  on = !on;
  show_checked(session, "ConvergeMenu", on);
  session.report(on ? "TPS samples loaded from now on are superimposed until converged."
                    : "TPS samples loaded from now on stop at the standard rule.");
}

void ask_missing_code(Session& session) {
  TpsOptions& options = session.tps_options;
  auto text = session.platform.ask_text(
      "Missing-value code",
      "Coordinates equal to this number are missing (\"negative\": every negative "
      "coordinate; empty: no code):",
      missing_code_text(options));
  if (!text) return;
  set_missing_code(options, *text);
  show_checked(session, "MissingMenu", options.missing);
}

}  // namespace dg::actions
