// The dispatcher distangler and the callback runner: errors are printed, never
// raised, and callbacks see their object, figure and axes.
#include "actions/distangler.hpp"

#include "actions/run_callback.hpp"
#include "test_support.hpp"
#include "window_fixture.hpp"

namespace dg {
namespace {

class DistanglerTest : public WindowFixture {
 protected:
  std::string dispatch(Values args, int nargout = 0) {
    console.str("");
    results = distangler(session, args, nargout);
    return console.str();
  }
  Values results;
};

TEST_F(DistanglerTest, DispatchesByNameAndPrintsEveryError) {
  Value one(1.0);
  EXPECT_EQ(dispatch({Value("pushbutton6_Callback"), one, one, one}),
            "pushbutton6 Callback not implemented yet.\n");
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(dispatch({Value("pushbutton7_Callback"), one, one, one, one}, 2),
            "pushbutton7 Callback not implemented yet.\n");
  EXPECT_EQ(dispatch({Value("pushbutton5_Callback"), one, one}), "Not enough input arguments.\n");
  session.handler.sample = flat_sample(Matrix{{1, 2, 3}});
  EXPECT_EQ(dispatch({Value("dahand"), Value("Clear"), Value("more")}),
            "Run-time Error: File: dahand Line: 1 Column: 1 The function \"dahand\" was called "
            "with more than the declared number of inputs (1).\n");
  EXPECT_EQ(flat_data(session.handler), (Matrix{{1, 2, 3}}));  // the count is checked first
  EXPECT_EQ(dispatch({Value("nosuch")}), "Undefined function \"nosuch\".\n");
  EXPECT_EQ(dispatch({Value("isvarname"), Value("DataBox")}, 1), "");
  EXPECT_EQ(results.at(0).scalar(), 1.0);
  platform.answer_cancel();
  EXPECT_EQ(dispatch({Value("dahand"), Value("GetData")}), "");
  EXPECT_EQ(platform.dialogs().size(), 1u);  // the handler's load action asked for a file
  session.graphics.set(controls.at("Load"), "Enable", Value("Off"));
  EXPECT_EQ(dispatch({one, Value("dahand"), Value("Clear")}), "");
  EXPECT_EQ(enable("Load"), "off");  // a first argument that is not a text does nothing
}

TEST_F(DistanglerTest, CallbacksSeeTheirObjectFigureAndAxesAndNeverRaise) {
  Values seen;
  session.functions.add("probe", kAnyCount, 0,
                        [&seen](Session&, std::span<const Value> args, int) -> Values {
                          seen.assign(args.begin(), args.end());
                          return {};
                        });
  Handle button = controls.at("Load");
  session.graphics.set(button, "Callback", Value("probe(gcbo, gcbf, gcf, gca, 'x', 2)"));
  session.graphics.new_figure();  // another window is current until the click
  run_callback(session, button);
  EXPECT_EQ(seen, (Values{Value(button), Value(figure), Value(figure), Value(axes), Value("x"),
                          Value(2.0)}));
  EXPECT_EQ(session.graphics.gcbo(), std::nullopt);

  for (const char* text : {"probe(oops)", "nosuch(1)", "dahand", "  "}) {
    run_callback(session, button, text);
  }
  run_callback(session, 4321.5, "probe(1)");
  EXPECT_EQ(console.str(),
            "The callback \"probe(oops)\" cannot be run: at character 7, \"oops\" is not an "
            "argument; use a quoted text, a number, or gcbo, gcbf, gcf or gca.\n"
            "Undefined function \"nosuch\".\n"
            "Not enough input arguments: \"dahand\" needs an action word such as "
            "\"GetTPSData\".\n"
            "Invalid handle 4321.5: no graphics object has this handle.\n");
}

}  // namespace
}  // namespace dg
