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

const std::array<ActionEntry, 47> kActions{{
    {"GetData", load<Source::Matrix>},
    {"GetTPSData", load<Source::Tps>},
    {"GetTPSScale", load<Source::TpsScale>},
    {"GetTPS3D", actions::load_3d},
    {"GetLengths", actions::get_lengths},
    {"GetAngles", actions::get_angles},
    {"ShowAngles", actions::show_angles},
    {"LandmarkNumbers", actions::toggle_numbers},
    {"SaveAngles", save<Export::Angles>},
    {"SaveDegrees", save<Export::Degrees>},
    {"Exit", actions::exit},
    {"SaveLengths", save<Export::Lengths>},
    {"SaveLogLengths", save<Export::LogLengths>},
    {"SaveConstrained", save<Export::Constrained>},
    {"CalcLengths", actions::calc_lengths},
    {"Clear", actions::clear},
    {"PlotProtocol", actions::plot_protocol},
    {"CheckFile", actions::check_files},
    {"CurvesAsLandmarks", actions::toggle_curves},
    {"MissingLandmarks", actions::toggle_missing},
    {"MissingCode", actions::ask_missing_code},
    {"ExportTables", actions::export_tables},
    {"OpenDropped", actions::open_dropped},
    {"RecentFiles", actions::recent_files},
    {"OpenRecent", actions::open_recent},
    {"SavePlot", actions::save_plot},
    {"GettingStarted", actions::getting_started},
    {"About", actions::about},
    {"ProtocolDesigner", actions::toggle_designer},
    {"DesignPair", design_pick<kPairs>},
    {"DesignAngle", design_pick<kTriples>},
    {"DesignClick", actions::design_click},
    {"DesignHover", actions::design_hover, false},
    {"DesignCancel", actions::design_cancel},
    {"DesignAllPairs", actions::design_all_pairs},
    {"DesignChain", actions::design_chain},
    {"DesignSelectPairs", design_select<kPairs>},
    {"DesignSelectTriples", design_select<kTriples>},
    {"DesignDelete", actions::design_delete},
    {"DesignClear", actions::design_clear},
    {"DesignUp", design_move<-1>},
    {"DesignDown", design_move<1>},
    {"DesignUndo", actions::design_undo},
    {"DesignRedo", actions::design_redo},
    {"DesignSavePairs", design_save<kPairs>},
    {"DesignSaveTriples", design_save<kTriples>},
    {"TurnView", actions::turn_view},
}};

void dahand(Session& session, const Value& action) {
  // A text of several rows is no word, even when one of its rows is.
  if (action.is_char() && action.chars().rows.size() <= 1) {
    const std::string word = action.text();
    for (const ActionEntry& entry : kActions) {
      if (word != entry.word) continue;
      entry.run(session);
      if (entry.refreshes) actions::refresh_window(session);
      return;
    }
  }
  session.print("Fell through case!  \n");
}

}  // namespace dg
