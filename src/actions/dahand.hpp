// The action handler: performs one action on the loaded sample, named by an
// action word matched exactly and case-sensitively, in a fixed order. The
// handler's state lives in the session. A word that matches no action writes
// "Fell through case!  " and a line end to the console and changes nothing.
// Errors of an action end it where they happen; what it stored stays stored.
// After an action that ends without an error the window's enabling and title
// are recomputed from the state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg {

// The actions, each named once: the table below pairs each with its word,
// in the handler's order of matching, and everything else names an action
// by its value (callbacks made in code, recent files, the window's loads).
enum class Action : std::uint8_t {
  GetData,
  GetTPSData,
  GetTPSScale,
  GetTPS3D,
  GetLengths,
  GetAngles,
  ShowAngles,
  LandmarkNumbers,
  SaveAngles,
  SaveDegrees,
  Exit,
  SaveLengths,
  SaveLogLengths,
  SaveConstrained,
  CalcLengths,
  Clear,
  PlotProtocol,
  CheckFile,
  CurvesAsLandmarks,
  MissingLandmarks,
  MissingCode,
  ConvergedSuperimposition,
  ExportTables,
  OpenDropped,
  RecentFiles,
  OpenRecent,
  SavePlot,
  GettingStarted,
  About,
  ProtocolDesigner,
  DesignPair,
  DesignAngle,
  DesignClick,
  DesignHover,
  DesignCancel,
  DesignAllPairs,
  DesignChain,
  DesignSelectPairs,
  DesignSelectTriples,
  DesignDelete,
  DesignClear,
  DesignUp,
  DesignDown,
  DesignUndo,
  DesignRedo,
  DesignSavePairs,
  DesignSaveTriples,
  OutlierPanel,
  OutlierSelect,
  OutlierLeaveOut,
  OutlierUndo,
  OutlierExport,
  MeasurementError,
  SaveMeasurementError,
  ShowReplicates,
  SpecimenBrowser,
  BrowserSelect,
  BrowserKey,
  BrowserClick,
  BrowserDrag,
  BrowserUndo,
  BrowserRedo,
  BrowserSort,
  BrowserProtocol,
  BrowserFolder,
  BrowserSave,
  NewTPSFromImages,
  NewTPSFromFolder,
  ResumeDigitising,
  DigitiseClick,
  DigitiseDrag,
  DigitiseMotion,
  DigitiseKey,
  DigitiseNext,
  DigitisePrevious,
  DigitiseMissing,
  DigitiseUndo,
  DigitiseRuler,
  DigitiseCarry,
  DigitiseClose,
  Groups,
  Summary,
  SaveAllometric,
  SaveLogShapeRatios,
  SaveBurnaby,
  PcaPanel,
  PcaUpdate,
  PcaClick,
  PcaHover,
  TurnView,
};
// TurnView is the last action.
inline constexpr std::size_t kActionCount = static_cast<std::size_t>(Action::TurnView) + 1;

struct ActionEntry {
  Action action;  // its place in the table
  std::string_view word;
  void (*run)(Session& session);
  // Whether the window's enabling is recomputed after it; the pointer's
  // highlight runs at every move and changes nothing the enabling follows.
  bool refreshes = true;
};

extern const std::array<ActionEntry, kActionCount> kActions;

// The action of a word, matched exactly and case-sensitively; none for a word
// of no action.
std::optional<Action> action_named(std::string_view word);
std::string_view word_of(Action action);
// The callback text that runs the action: "distangler('dahand','<word>')".
std::string callback_of(Action action);
// Runs the action, then brings the window's enabling and title up to date
// when the action asks for it; errors go on to the caller.
void run_action(Session& session, Action action);

void dahand(Session& session, const Value& action);

}  // namespace dg
