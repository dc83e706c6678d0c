#include "actions/dahand.hpp"

#include <string>

#include "actions/dahand_actions.hpp"

namespace dg {

void dahand(Session& session, const Value& action) {
  std::string word = action.is_char() ? action.text() : std::string();
  std::size_t index = kActionWords.size();
  if (action.is_char() && action.chars().rows.size() <= 1) {
    for (std::size_t i = 0; i < kActionWords.size(); ++i) {
      if (word == kActionWords[i]) {
        index = i;
        break;
      }
    }
  }
  using actions::Export;
  using actions::Source;
  switch (index) {
    case 0:
      return actions::load(session, Source::Matrix);
    case 1:
      return actions::load(session, Source::Tps);
    case 2:
      return actions::load(session, Source::TpsScale);
    case 3:
      return actions::get_lengths(session);
    case 4:
      return actions::get_angles(session);
    case 5:
      return actions::show_angles(session);
    case 6:
      return actions::save(session, Export::Angles);
    case 7:
      return actions::save(session, Export::Degrees);
    case 8:
      return actions::exit(session);
    case 9:
      return actions::save(session, Export::Lengths);
    case 10:
      return actions::save(session, Export::LogLengths);
    case 11:
      return actions::save(session, Export::Constrained);
    case 12:
      return actions::calc_lengths(session);
    case 13:
      return actions::clear(session);
    case 14:
      return actions::plot_protocol(session);
    case 15:
      return actions::check_files(session);
    case 16:
      return actions::toggle_curves(session);
    case 17:
      return actions::toggle_missing(session);
    case 18:
      return actions::ask_missing_code(session);
    case 19:
      return actions::export_tables(session);
    default:
      session.print("Fell through case!  \n");
  }
}

}  // namespace dg
