#include <algorithm>
#include <cmath>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "input/dload.hpp"
#include "morpho/formtrad2.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

// Stores a list, reports it in the length box under `name`.
void set_list(Session& session, Matrix& list, Matrix value, const std::string& name,
              const char* line) {
  list = std::move(value);
  set_tagged(session, "LengthBox", "String",
             Value::text_cell({name, sprintf(line, static_cast<double>(list.rows()))}));
}

struct ListKind {
  const char* title;
  const char* noun;
  std::size_t count;
  const char* line;
};

constexpr ListKind kPairs{"Open a pair list", "pair", 2, "%3.0f Lengths requested"};
constexpr ListKind kTriples{"Open a triple list", "triple", 3, "%3.0f Angles requested"};

// Asks for a list: none when there is no sample to measure or the dialog is cancelled.
std::optional<std::string> ask_list(Session& session, const ListKind& kind) {
  if (no_sample(session)) return std::nullopt;
  auto choice = session.platform.get_file("*.txt", kind.title);
  if (!choice) return std::nullopt;
  return choice->path();
}

// Reads a list and checks it against the sample before anything is kept: a
// list that is refused, like a cancelled dialog, changes nothing.
std::optional<LandmarkList> read_list(Session& session, const ListKind& kind,
                                      const std::string& path) {
  if (no_sample(session)) return std::nullopt;
  std::optional<LandmarkList> load = LandmarkList{dload(path), split_path(path).name, path};
  loaded_list_indices(load->list, load->fn, kind.count, session.handler.sample.landmarks());
  return load;
}

void loaded(Session& session, const ListKind& kind, const LandmarkList& list,
            std::string_view word) {
  remember_file(session, word, list.path);
  session.report("Loaded " + count_of(list.list.rows(), kind.noun) + " from " + list.fn);
}

}  // namespace

void store_list(Session& session, ProtocolDesign::List list, Matrix value,
                const std::string& name) {
  HandlerState& h = session.handler;
  if (list == ProtocolDesign::List::pairs) {
    set_list(session, h.tlengths, std::move(value), name, kPairs.line);
    h.pairs_name = name;
  } else {
    set_list(session, h.tangles, std::move(value), name, kTriples.line);
    h.triples_name = name;
  }
  size_lists_changed(session);
}

void get_lengths(Session& session) {
  if (auto path = ask_list(session, kPairs)) load_pairs(session, *path);
}

void load_pairs(Session& session, const std::string& path) {
  auto load = read_list(session, kPairs, path);
  if (!load) return;
  if (keeps_unsaved_distances(session, "Load another pair list", "loading another pair list")) {
    return;
  }
  use_pairs(session, load->list, load->fn);
  session.handler.pairs_file = load->path;
  loaded(session, kPairs, *load, word_of(Action::GetLengths));
}

void use_pairs(Session& session, Matrix pairs, const std::string& name) {
  design_loaded(session, ProtocolDesign::List::pairs, pairs, name);
  store_list(session, ProtocolDesign::List::pairs, std::move(pairs), name);
  session.handler.pairs_file.clear();
  drop_distances(session.handler);
  if (session.draws) designer_open(session) ? draw_designer(session) : draw_pairs(session);
}

void get_angles(Session& session) {
  if (auto path = ask_list(session, kTriples)) load_triples(session, *path);
}

void load_triples(Session& session, const std::string& path) {
  auto load = read_list(session, kTriples, path);
  if (!load) return;
  design_loaded(session, ProtocolDesign::List::triples, load->list, load->fn);
  store_list(session, ProtocolDesign::List::triples, load->list, load->fn);
  session.handler.triples_file = load->path;
  if (session.draws) designer_open(session) ? draw_designer(session) : draw_triples(session);
  loaded(session, kTriples, *load, word_of(Action::GetAngles));
}

void calc_lengths(Session& session) {
  if (no_sample(session)) return;
  const Matrix& list = session.handler.tlengths;
  if (list.empty()) return session.report("Load a pair list first.");
  HandlerState& h = session.handler;
  const std::vector<std::size_t> pairs = checked_list(list, 2, h.sample.landmarks()).landmarks;
  const Sample& s = h.sample;
  h.traddata = formtrad2(s.coordinates, s.sizes, pairs, s.partial_size, s.dimensions);
  h.distances_saved = false;
  session.report("Calculated " + count_of(list.rows(), "distance") + " for " +
                 count_of(h.sample.specimens(), "specimen"));
}

}  // namespace dg::actions
