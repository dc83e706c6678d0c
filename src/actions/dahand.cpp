#include "actions/dahand.hpp"

#include <string>

#include "actions/dahand_actions.hpp"

namespace dg {
namespace {

using actions::Export;
using actions::Source;

template <Source source>
void load(Session& session) {
  actions::load(session, source);
}

template <Export what>
void save(Session& session) {
  actions::save(session, what);
}

template <ProtocolDesign::List list>
void design_pick(Session& session) {
  actions::design_pick(session, list);
}

template <ProtocolDesign::List list>
void design_select(Session& session) {
  actions::design_select(session, list);
}

template <ProtocolDesign::List list>
void design_save(Session& session) {
  actions::design_save(session, list);
}

template <int step>
void design_move(Session& session) {
  actions::design_move(session, step);
}

constexpr auto kPairs = ProtocolDesign::List::pairs;
constexpr auto kTriples = ProtocolDesign::List::triples;

}  // namespace

namespace {

constexpr std::array<ActionEntry, kActionCount> kTable{{
    {Action::GetData, "GetData", load<Source::Matrix>},
    {Action::GetTPSData, "GetTPSData", load<Source::Tps>},
    {Action::GetTPSScale, "GetTPSScale", load<Source::TpsScale>},
    {Action::GetTPS3D, "GetTPS3D", actions::load_3d},
    {Action::GetLengths, "GetLengths", actions::get_lengths},
    {Action::GetAngles, "GetAngles", actions::get_angles},
    {Action::ShowAngles, "ShowAngles", actions::show_angles},
    {Action::LandmarkNumbers, "LandmarkNumbers", actions::toggle_numbers},
    {Action::SaveAngles, "SaveAngles", save<Export::Angles>},
    {Action::SaveDegrees, "SaveDegrees", save<Export::Degrees>},
    {Action::Exit, "Exit", actions::exit},
    {Action::SaveLengths, "SaveLengths", save<Export::Lengths>},
    {Action::SaveLogLengths, "SaveLogLengths", save<Export::LogLengths>},
    {Action::SaveConstrained, "SaveConstrained", save<Export::Constrained>},
    {Action::CalcLengths, "CalcLengths", actions::calc_lengths},
    {Action::Clear, "Clear", actions::clear},
    {Action::PlotProtocol, "PlotProtocol", actions::plot_protocol},
    {Action::CheckFile, "CheckFile", actions::check_files},
    {Action::CurvesAsLandmarks, "CurvesAsLandmarks", actions::toggle_curves},
    {Action::MissingLandmarks, "MissingLandmarks", actions::toggle_missing},
    {Action::MissingCode, "MissingCode", actions::ask_missing_code},
    {Action::ConvergedSuperimposition, "ConvergedSuperimposition", actions::toggle_converge},
    {Action::ExportTables, "ExportTables", actions::export_tables},
    {Action::OpenDropped, "OpenDropped", actions::open_dropped},
    {Action::RecentFiles, "RecentFiles", actions::recent_files},
    {Action::OpenRecent, "OpenRecent", actions::open_recent},
    {Action::SavePlot, "SavePlot", actions::save_plot},
    {Action::GettingStarted, "GettingStarted", actions::getting_started},
    {Action::About, "About", actions::about},
    {Action::ProtocolDesigner, "ProtocolDesigner", actions::toggle_designer},
    {Action::DesignPair, "DesignPair", design_pick<kPairs>},
    {Action::DesignAngle, "DesignAngle", design_pick<kTriples>},
    {Action::DesignClick, "DesignClick", actions::design_click},
    {Action::DesignHover, "DesignHover", actions::design_hover, false},
    {Action::DesignCancel, "DesignCancel", actions::design_cancel},
    {Action::DesignAllPairs, "DesignAllPairs", actions::design_all_pairs},
    {Action::DesignChain, "DesignChain", actions::design_chain},
    {Action::DesignSelectPairs, "DesignSelectPairs", design_select<kPairs>},
    {Action::DesignSelectTriples, "DesignSelectTriples", design_select<kTriples>},
    {Action::DesignDelete, "DesignDelete", actions::design_delete},
    {Action::DesignClear, "DesignClear", actions::design_clear},
    {Action::DesignUp, "DesignUp", design_move<-1>},
    {Action::DesignDown, "DesignDown", design_move<1>},
    {Action::DesignUndo, "DesignUndo", actions::design_undo},
    {Action::DesignRedo, "DesignRedo", actions::design_redo},
    {Action::DesignSavePairs, "DesignSavePairs", design_save<kPairs>},
    {Action::DesignSaveTriples, "DesignSaveTriples", design_save<kTriples>},
    {Action::OutlierPanel, "OutlierPanel", actions::toggle_outlier_panel},
    {Action::OutlierSelect, "OutlierSelect", actions::outlier_select},
    {Action::OutlierLeaveOut, "OutlierLeaveOut", actions::outlier_leave_out},
    {Action::OutlierUndo, "OutlierUndo", actions::outlier_undo},
    {Action::OutlierExport, "OutlierExport", actions::outlier_export},
    {Action::MeasurementError, "MeasurementError", actions::compute_measurement_error},
    {Action::SaveMeasurementError, "SaveMeasurementError", actions::save_measurement_error},
    {Action::ShowReplicates, "ShowReplicates", actions::show_replicates},
    {Action::SpecimenBrowser, "SpecimenBrowser", actions::toggle_browser},
    {Action::BrowserSelect, "BrowserSelect", actions::browser_select},
    {Action::BrowserKey, "BrowserKey", actions::browser_key},
    {Action::BrowserClick, "BrowserClick", actions::browser_click},
    {Action::BrowserDrag, "BrowserDrag", actions::browser_drag},
    {Action::BrowserUndo, "BrowserUndo", actions::browser_undo},
    {Action::BrowserRedo, "BrowserRedo", actions::browser_redo},
    {Action::BrowserSort, "BrowserSort", actions::browser_sort},
    {Action::BrowserProtocol, "BrowserProtocol", actions::browser_protocol},
    {Action::BrowserFolder, "BrowserFolder", actions::browser_folder},
    {Action::BrowserSave, "BrowserSave", actions::browser_save},
    {Action::NewTPSFromImages, "NewTPSFromImages", actions::new_tps_from_images},
    {Action::NewTPSFromFolder, "NewTPSFromFolder", actions::new_tps_from_folder},
    {Action::ResumeDigitising, "ResumeDigitising", actions::resume_digitising},
    {Action::DigitiseClick, "DigitiseClick", actions::digitise_click},
    {Action::DigitiseDrag, "DigitiseDrag", actions::digitise_drag},
    {Action::DigitiseMotion, "DigitiseMotion", actions::digitise_motion, false},
    {Action::DigitiseKey, "DigitiseKey", actions::digitise_key},
    {Action::DigitiseNext, "DigitiseNext", actions::digitise_next},
    {Action::DigitisePrevious, "DigitisePrevious", actions::digitise_previous},
    {Action::DigitiseMissing, "DigitiseMissing", actions::digitise_missing},
    {Action::DigitiseUndo, "DigitiseUndo", actions::digitise_undo},
    {Action::DigitiseRuler, "DigitiseRuler", actions::digitise_ruler},
    {Action::DigitiseCarry, "DigitiseCarry", actions::digitise_carry},
    {Action::DigitiseClose, "DigitiseClose", actions::digitise_close},
    {Action::Groups, "Groups", actions::ask_groups},
    {Action::Summary, "Summary", actions::show_summary},
    {Action::SaveAllometric, "SaveAllometric", actions::save_allometric},
    {Action::SaveLogShapeRatios, "SaveLogShapeRatios", actions::save_log_shape_ratios},
    {Action::SaveBurnaby, "SaveBurnaby", actions::save_burnaby},
    {Action::PcaPanel, "PcaPanel", actions::toggle_pca_panel},
    {Action::PcaUpdate, "PcaUpdate", actions::pca_update},
    {Action::PcaClick, "PcaClick", actions::pca_click},
    {Action::PcaHover, "PcaHover", actions::pca_hover, false},
    {Action::TurnView, "TurnView", actions::turn_view},
}};

// Each action stands at its own place, so its value finds it.
constexpr bool in_place() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<std::size_t>(kTable[i].action) != i) return false;
  }
  return true;
}
static_assert(in_place());

}  // namespace

const std::array<ActionEntry, kActionCount> kActions = kTable;

std::optional<Action> action_named(std::string_view word) {
  for (const ActionEntry& entry : kActions) {
    if (word == entry.word) return entry.action;
  }
  return std::nullopt;
}

std::string_view word_of(Action action) {
  return kActions[static_cast<std::size_t>(action)].word;
}

std::string callback_of(Action action) {
  return "distangler('dahand','" + std::string(word_of(action)) + "')";
}

void run_action(Session& session, Action action) {
  const ActionEntry& entry = kActions[static_cast<std::size_t>(action)];
  entry.run(session);
  if (entry.refreshes) actions::refresh_window(session);
}

void dahand(Session& session, const Value& action) {
  // A text of several rows is no word, even when one of its rows is.
  if (action.is_char() && action.chars().rows.size() <= 1) {
    if (const auto known = action_named(action.text())) return run_action(session, *known);
  }
  session.print("Fell through case!  \n");
}

}  // namespace dg
