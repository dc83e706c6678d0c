#include "actions/dahand.hpp"

#include <string>

#include "actions/dahand_actions.hpp"
#include "runtime/array/error.hpp"

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
  switch (index) {
    case 8:
      return actions::exit(session);
    case 13:
      return actions::clear(session);
    case kActionWords.size():
      session.print("Fell through case!  \n");
      return;
    default:
      raise("The action \"" + word + "\" is not available yet.");
  }
}

}  // namespace dg
