#include <cmath>

#include "actions/dahand_actions.hpp"
#include "input/gettpsfile2.hpp"
#include "input/gettpsfilescale.hpp"
#include "input/mfload.hpp"
#include "input/sample_survey.hpp"
#include "morpho/centsize.hpp"
#include "morpho/getconsensus.hpp"
#include "morpho/landmark_count.hpp"
#include "morpho/partial_fit.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

struct Loaded {
  Matrix data;
  std::string name;
  std::vector<SpecimenRecord> records;
  std::vector<double> partial_size;
  Matrix consensus;
  std::size_t passes = 0;
  std::size_t dimensions = 2;
};

std::optional<Loaded> read_sample(Session& session, Source source) {
  if (source == Source::Matrix) {
    auto load = mfload(session.platform, "*.txt", "Open a landmark matrix");
    if (!load) return std::nullopt;
    if (load->y.empty()) {
      raise("The file \"" + load->fn +
            "\" holds no numbers; a landmark matrix needs at least one row.");
    }
    const std::size_t dims = session.tps_options.dimensions == 3 ? 3 : 2;
    if (const std::size_t width = load->y.cols(); dims == 3 && width % 3 != 1) {
      raise("\"" + load->fn + "\" has " + std::to_string(width) +
            " columns where a 3-D sample of k landmarks has 3k + 1 (x, y and z of each "
            "landmark, then the size).");
    } else if (dims == 2 && width % 2 == 0) {
      session.warn("\"" + load->fn + "\" has " + std::to_string(width) +
                   " columns where a sample of k landmarks has 2k + 1 (x and y of each "
                   "landmark, then the size); it is read as " +
                   std::to_string(landmark_count(width)) +
                   " landmarks with the size in its last column, and column " +
                   std::to_string(width - 1) + " is not used.");
    }
    return Loaded{
        std::move(load->y), std::move(load->fn), std::move(load->records), {}, {}, 0, dims};
  }
  const TpsOptions& options = session.tps_options;
  auto load = source == Source::Tps ? gettpsfile2(session.platform, 1, centsize, options)
                                    : gettpsfilescale(session.platform, 1, centsize, options);
  if (!load) return std::nullopt;
  // Superimposed before anything is stored, so a failure leaves the old sample.
  ConsensusResult fit;
  std::vector<double> partial_size;
  const std::size_t dims = load->dimensions;
  if (load->incomplete > 0) {
    if (load->incomplete == load->y.rows()) {
      raise(no_complete_specimen(load->incomplete, "loaded from " + load->fname));
    }
    PartialFitResult partial = superimpose_with_missing(std::move(load->y), dims);
    fit = std::move(partial.fit);
    partial_size = std::move(partial.partial_size);
  } else {
    fit = getconsensus(std::move(load->y), kConsensusPassLimit, dims);
  }
  if (fit.reached_pass_limit) {
    session.warn("the superimposition of \"" + load->fname + "\" did not settle within " +
                 std::to_string(kConsensusPassLimit) + " passes; the last pass is kept.");
  } else if (fit.non_finite) {
    session.warn("\"" + load->fname +
                 "\" has specimens with missing (NaN) or coinciding coordinates; the "
                 "superimposition stopped after its first pass.");
  }
  return Loaded{std::move(fit.superimposed),
                std::move(load->fname),
                std::move(load->records),
                std::move(partial_size),
                std::move(fit.consensus),
                fit.passes,
                dims};
}

// Sizes far from the median and IDs used twice; the load goes on.
void warn_about_sample(Session& session, const Matrix& data,
                       const std::vector<SpecimenRecord>& records) {
  if (data.cols() == 0) return;
  std::vector<double> sizes(data.rows());
  for (std::size_t i = 0; i < data.rows(); ++i) sizes[i] = data(i, data.cols() - 1);
  for (const std::string& warning : sample_warnings(sizes, records)) session.warn(warning);
}

}  // namespace

LoadSteps load_steps() {
  return {centsize, no_complete_specimen};
}

void load(Session& session, Source source) {
  auto sample = read_sample(session, source);
  if (!sample) return;
  if (keeps_unsaved_distances(session, "Open another sample", "opening another sample")) return;
  HandlerState& h = session.handler;
  h.data = std::move(sample->data);
  h.records = std::move(sample->records);
  h.partial_size = std::move(sample->partial_size);
  h.consensus = std::move(sample->consensus);
  h.consensus_passes = sample->passes;
  h.dimensions = sample->dimensions;
  // Distances of an earlier sample are not this one's.
  drop_distances(h);
  h.name = sample->name;
  session.designer.sample_changed();
  const Matrix& data = h.data;
  warn_about_sample(session, data, h.records);
  const std::size_t landmarks = landmark_count(data.cols(), h.dimensions);
  double m = static_cast<double>(data.rows());
  set_tagged(
      session, "DataBox", "String",
      Value::text_cell({sample->name, sprintf("%3.0f Landmarks", static_cast<double>(landmarks)),
                        sprintf("%3.0f Samples", m)}));
  // Lists kept from an earlier sample: the box says whether each applies here.
  std::string kept[2];
  const auto describe = [&](const Matrix& list, std::size_t count, const char* noun,
                            const std::string& name) {
    if (list.empty()) return std::string();
    const auto misfit = list_misfit(list, 2, count, landmarks);
    return count_of(list.rows(), noun) + " from " + name +
           (misfit ? " do not fit: " + *misfit : std::string(" (fit this sample)"));
  };
  kept[0] = describe(h.tlengths, 2, "pair", h.pairs_name);
  kept[1] = describe(h.tangles, 3, "triple", h.triples_name);
  if (kept[0].empty()) std::swap(kept[0], kept[1]);
  if (!kept[0].empty())
    set_tagged(session, "LengthBox", "String", Value::text_cell({kept[0], kept[1]}));
  set_up_view(session);
  if (session.draws) draw_sample(session);
  const std::string& first = h.records.front().file();
  if (h.records.back().file() == first) {
    static constexpr const char* kWords[] = {"GetData", "GetTPSData", "GetTPSScale"};
    remember_file(session,
                  recent_word(kWords[static_cast<int>(source)], session.tps_options,
                              source != Source::Matrix),
                  first);
  }
  session.report("Loaded " + count_of(data.rows(), "specimen") + " of " +
                 count_of(landmarks, "landmark") + " from " + sample->name);
}

}  // namespace dg::actions
