#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "morpho/centsize.hpp"
#include "morpho/partial_fit.hpp"
#include "pipeline/load_sample.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/background.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/format.hpp"

namespace dg::actions {
namespace {

// Asks for the files of a sample: several TPS files, read as one sample, or
// one matrix. None when the dialog is cancelled.
std::vector<std::string> ask_sample_files(Session& session, Source source) {
  std::vector<std::string> paths;
  if (source == Source::Matrix) {
    if (auto choice = session.platform.get_file("*.txt", "Open a landmark matrix")) {
      paths.push_back(choice->path());
    }
    return paths;
  }
  const char* title =
      source == Source::Tps ? "Open a TPS landmark file" : "Open a TPS file with scale factors";
  for (const FileChoice& choice : session.platform.get_files("*.tps;*.TPS", title)) {
    paths.push_back(choice.path());
  }
  return paths;
}

SampleFormat format_of(Source source) {
  switch (source) {
    case Source::Matrix:
      return SampleFormat::matrix;
    case Source::TpsScale:
      return SampleFormat::tps_scale;
    case Source::Tps:
      break;
  }
  return SampleFormat::tps;
}

}  // namespace

LoadSteps load_steps() {
  return {centsize, [](TpsData data, const std::string& name, const std::string& source,
                       std::vector<std::string>& warnings) {
            finish_tps_load(std::move(data), name, source, warnings);
          }};
}

void load(Session& session, Source source, const TpsOptions& options) {
  const std::vector<std::string> paths = ask_sample_files(session, source);
  if (!paths.empty()) load_files(session, source, paths, options);
}

void cancel_load(Session& session) {
  if (session.loading) session.loading->cancel(BackgroundWork::Reason::superseded);
}

void load_files(Session& session, Source source, const std::vector<std::string>& paths,
                const TpsOptions& options) {
  cancel_load(session);
  // What the worker reads, copied: callbacks that run while it works may
  // change the session's options.
  const std::vector<std::string> files = paths;
  const LoadOptions load{format_of(source), options, session.converge};
  const std::string what =
      files.size() == 1 ? file_name(files.front()) : count_of(files.size(), "file");
  std::vector<std::string> warnings;
  Sample sample;
  BackgroundWork work([&] { sample = load_sample(files, load, warnings); });
  BackgroundWork* const outer = session.loading;
  session.loading = &work;
  std::exception_ptr failure;
  try {
    session.platform.wait_live(work, "Loading " + what);
    work.wait();
  } catch (...) {
    failure = std::current_exception();
  }
  session.loading = outer;
  // A load cancelled, even one that had just ended, changes nothing: a later
  // action has taken over, or the user pressed Esc.
  if (work.cancelled()) {
    if (work.reason() == BackgroundWork::Reason::user) {
      session.report("Loading " + what + " cancelled: the sample is as it was.");
    }
    return;
  }
  if (failure) {
    for (const std::string& warning : warnings) session.warn(warning);
    std::rethrow_exception(failure);
  }
  for (const std::string& warning : warnings) session.warn(warning);
  if (keeps_unsaved_distances(session, "Open another sample", "opening another sample") ||
      keeps_unsaved_corrections(session, "Open another sample", "opening another sample")) {
    return;
  }
  HandlerState& h = session.handler;
  h.sample = std::move(sample);
  h.reading = load.reading;
  // Distances of an earlier sample are not this one's.
  drop_distances(h);
  session.designer.sample_changed();
  session.analyses.sample_changed();
  browser_sample_changed(session);
  size_sample_changed(session);
  show_sample_box(session);
  set_up_view(session);
  if (session.draws) draw_sample(session);
  if (files.size() == 1) {
    static constexpr Action kLoads[] = {Action::GetData, Action::GetTPSData, Action::GetTPSScale};
    remember_file(session,
                  recent_word(word_of(kLoads[static_cast<int>(source)]), load.reading,
                              source != Source::Matrix),
                  files.front());
  }
  const Sample& s = h.sample;
  session.report("Loaded " + count_of(s.specimens(), "specimen") + " of " +
                 count_of(s.landmarks(), "landmark") + " from " + s.name);
}

void show_sample_box(Session& session) {
  const HandlerState& h = session.handler;
  const Sample& s = h.sample;
  const std::size_t landmarks = s.landmarks();
  set_tagged(session, "DataBox", "String",
             Value::text_cell({s.name, sprintf("%3.0f Landmarks", static_cast<double>(landmarks)),
                               sprintf("%3.0f Samples", static_cast<double>(s.specimens()))}));
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
}

}  // namespace dg::actions
