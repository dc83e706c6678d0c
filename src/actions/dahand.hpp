// The action handler: performs one action on the loaded sample, named by an
// action word matched exactly and case-sensitively, in a fixed order. The
// handler's state lives in the session. A word that matches no action writes
// "Fell through case!  " and a line end to the console and changes nothing.
// Errors of an action end it where they happen; what it stored stays stored.
#pragma once

#include <array>
#include <string_view>

#include "actions/session.hpp"
#include "runtime/array/value.hpp"

namespace dg {

inline constexpr std::array<std::string_view, 20> kActionWords{
    "GetData",        "GetTPSData",        "GetTPSScale",      "GetLengths",  "GetAngles",
    "ShowAngles",     "SaveAngles",        "SaveDegrees",      "Exit",        "SaveLengths",
    "SaveLogLengths", "SaveConstrained",   "CalcLengths",      "Clear",       "PlotProtocol",
    "CheckFile",      "CurvesAsLandmarks", "MissingLandmarks", "MissingCode", "ExportTables"};

void dahand(Session& session, const Value& action);

}  // namespace dg
