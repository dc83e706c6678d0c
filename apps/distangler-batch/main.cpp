// distangler-batch: runs the handler's actions without a window, answering
// each file dialog from the command line, so that the datasets it writes are
// byte for byte those of the window's actions. With --plot it also paints the
// picture the window's axes would show, offscreen, with the window's painter
// (without Qt, as SVG from the same drawing), and with --specimen-plots a
// picture of each specimen on its photo.
#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "actions/dahand.hpp"
#include "actions/dahand_actions.hpp"
#include "actions/session.hpp"
#include "input/dload.hpp"
#include "input/missing_code.hpp"
#include "input/tps_check.hpp"
#include "output/edits_log.hpp"
#include "output/manifest.hpp"
#include "pipeline/load_sample.hpp"
#include "pipeline/measurements.hpp"
#include "pipeline/outliers.hpp"
#include "pipeline/replicates.hpp"
#include "pipeline/size_variables.hpp"
#include "pipeline/write_outputs.hpp"
#include "protocol/all_pairs.hpp"
#include "protocol/landmark_list.hpp"
#include "protocol/write_list.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/parallel.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/graphics/svg_plot.hpp"

#ifndef DISTANGLER_VERSION
#error "DISTANGLER_VERSION is set by CMake from the project's version"
#endif

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#endif

#if DISTANGLER_PLOT
#include <QGuiApplication>
#include <optional>

#include "runtime/qt/figure_export.hpp"
#include "specimen_plots.hpp"
#endif

namespace {

struct Options {
  std::vector<std::string> tps, tps_scale, check;  // check: the files to check
  std::string matrix, pairs, triples;
  std::string lengths, log_lengths, constrained, angles, degrees, superimposed, plot;
  std::string superimposed_tps, consensus, outliers;
  std::string specimen_plots, images;  // folders
  std::string replicates, repeatability, replicate_distances;
  std::string missing_code;
  std::string groups, summary;
  std::string allometric, allometric_size, allometric_x0, allometric_slopes;
  std::string log_shape_ratios, burnaby, burnaby_vector;
  std::string pca, pca_matrix, pca_scores, pca_loadings, pca_variance;
  std::size_t dimensions = 2;  // of the landmarks of a TPS or matrix sample
  std::string write_pairs;
  bool all_pairs = false;
  std::string format = "plain";
  bool checking = false, curves = false, missing = false, json = false;
  bool converge = false;
  bool timings = false;
  std::string manifest;
  std::size_t threads = 0;  // 0: the machine's cores
};

// More threads than this would only cost memory for their text blocks.
constexpr std::size_t kMaxThreads = 256;

// Times the steps of a run when asked, on standard error.
class Steps {
 public:
  explicit Steps(bool timings) : timings_(timings) {}

  template <class F>
  void step(const std::string& name, F&& body) {
    auto start = std::chrono::steady_clock::now();
    body();
    if (!timings_) return;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::cerr << "timing: " << name << " " << elapsed.count() << " s\n";
  }

 private:
  bool timings_;
};

// An output option needs a file name; an empty one would write nothing and
// still succeed.
const CLI::Validator kFileName(
    [](std::string& path) { return path.empty() ? std::string("an empty file name") : ""; },
    "FILE");

// A check of --plot's file name: the reason `check` raises, if it raises.
template <typename Check>
CLI::Validator plot_path_check(Check check, const char* description) {
  return CLI::Validator(
      [check](std::string& path) {
        try {
          check(path);
          return std::string();
        } catch (const dg::RuntimeError& error) {
          return std::string(error.what());
        }
      },
      description);
}

#if DISTANGLER_PLOT
const CLI::Validator kFolderName(
    [](std::string& path) { return path.empty() ? std::string("an empty folder name") : ""; },
    "DIR");
#endif

// CLI11's check for an existing file, reading the name as UTF-8 on every system.
const CLI::Validator kExistingFile(
    [](std::string& name) {
      std::error_code ignored;
      auto type = std::filesystem::status(dg::file_path(name), ignored).type();
      if (type == std::filesystem::file_type::not_found ||
          type == std::filesystem::file_type::none) {
        return "File does not exist: " + name;
      }
      if (type == std::filesystem::file_type::directory) {
        return "File is actually a directory: " + name;
      }
      return std::string();
    },
    "FILE");

// The absolute form of a path, with forward slashes as the file dialogs give
// them on every system (the folder and the name are split at the last one).
std::string absolute_path(const std::string& path) {
  const std::u8string text = std::filesystem::absolute(dg::file_path(path)).generic_u8string();
  return std::string(text.begin(), text.end());
}

#if defined(_WIN32)
// The command line as UTF-8: the argv Windows gives is in the local code page,
// which cannot spell every folder name.
std::vector<std::string> utf8_arguments() {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) {
    arguments.push_back(dg::path_text(std::filesystem::path(wide[i])));
  }
  ::LocalFree(wide);
  return arguments;
}
#endif

// Prints the report of each file; the status is the worst of theirs (a
// failure over warnings over clean).
int check_files(const std::vector<std::string>& files, const dg::TpsOptions& options, bool json) {
  int status = 0;
  nlohmann::json reports = nlohmann::json::array();
  for (const std::string& file : files) {
    const dg::CheckReport report = dg::check_tps_file(file, options, dg::actions::load_steps());
    const int file_status = dg::check_status(report);
    if (file_status == 1 || (file_status == 3 && status == 0)) status = file_status;
    if (json) {
      reports.push_back(dg::check_json(report));
    } else {
      std::cout << (&file == &files.front() ? "" : "\n") << dg::check_text(report);
    }
  }
  if (json) {
    nlohmann::json out = {{"status", status}, {"files", reports}};
    std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  return status;
}

// What a run read and made, as far as it came.
struct Run {
  dg::Sample sample;
  dg::Matrix pairs, triples;
  std::vector<std::string> warnings;
  std::vector<dg::ManifestOutput> outputs;
  // The edits logged beside each TPS input, in the order of the inputs.
  std::vector<std::optional<dg::EditsLog>> edits;
};

// What the manifest says of a run that ended, with `error` when it failed.
dg::RunManifest describe_run(const Options& o, std::vector<std::string> command_line,
                             const Run& done, std::optional<std::string> error) {
  dg::RunManifest run;
  run.command_line = std::move(command_line);
  for (const auto* paths : {&o.tps, &o.tps_scale}) {
    for (const std::string& path : *paths) run.inputs.push_back({"sample", path});
  }
  for (std::size_t i = 0; i < done.edits.size(); ++i) run.inputs[i].edits = done.edits[i];
  if (!o.matrix.empty()) run.inputs.push_back({"sample", o.matrix});
  if (!o.pairs.empty()) run.inputs.push_back({"pairs", o.pairs});
  if (!o.triples.empty()) run.inputs.push_back({"triples", o.triples});
  run.pairs = done.pairs;
  run.triples = done.triples;
  run.options = {{"sample_format", !o.tps.empty()         ? "tps"
                                   : !o.tps_scale.empty() ? "tps-scale"
                                                          : "matrix"},
                 {"format", o.format},
                 {"curves", o.curves},
                 {"missing", o.missing || !o.missing_code.empty()},
                 {"missing_code", o.missing_code.empty() ? nlohmann::ordered_json()
                                                         : nlohmann::ordered_json(o.missing_code)},
                 {"all_pairs", o.all_pairs}};
  // Options that came after the first manifests are named only when used,
  // so a run without them has the manifest it always had.
  if (o.converge) run.options["converge"] = true;
  if (!o.outliers.empty()) run.options["outliers"] = "on the converged superimposition";
  if (!o.replicates.empty()) run.options["replicates"] = o.replicates;
  if (!o.images.empty()) run.options["images"] = o.images;
  if (!o.groups.empty()) run.options["groups"] = o.groups;
  if (!o.allometric_size.empty()) run.options["allometric_size"] = o.allometric_size;
  if (!o.allometric_x0.empty()) run.options["allometric_x0"] = o.allometric_x0;
  if (!o.burnaby_vector.empty()) run.options["burnaby_vector"] = o.burnaby_vector;
  if (!o.pca.empty()) {
    run.options["pca"] = o.pca;
    run.options["pca_matrix"] = o.pca_matrix.empty() ? "covariance" : o.pca_matrix;
  }
  const dg::Sample& s = done.sample;
  run.specimens = s.specimens();
  run.landmarks = s.landmarks();
  run.dimensions = s.dimensions;
  run.consensus_passes = s.passes;
  run.incomplete_specimens = dg::incomplete_rows(s.coordinates);
  run.warnings = done.warnings;
  if (!error) run.outputs = done.outputs;
  run.error = std::move(error);
  return run;
}

// A pair or triple list read from its file and checked against the sample,
// named by its file in an error.
dg::Matrix read_list(const std::string& path, std::size_t count, const dg::Sample& sample) {
  dg::Matrix list = dg::dload(path);
  dg::loaded_list_indices(list, dg::split_path(path).name, count, sample.landmarks());
  return list;
}

}  // namespace

static int run(int argc, char** argv) {
#if defined(_WIN32)
  std::vector<std::string> arguments = utf8_arguments();
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  if (!arguments.empty()) {
    argc = static_cast<int>(arguments.size());
    argv = pointers.data();
  }
#endif
  Options o;
  CLI::App app{
      "Runs Distangler's actions without a window: loads a sample, loads the pair and\n"
      "triple lists, calculates the distances and angles and writes the datasets, one\n"
      "line per specimen. Actions run in this order: load, pairs, triples, calculate,\n"
      "then the saves in the order the options are listed below."};
  // A file named from the root ("/data/a.tps") is a file on every system, not
  // a Windows-style option.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "distangler-batch " DISTANGLER_VERSION,
                       "Print the version and exit");
  auto* input =
      app.add_option_group("input", "The sample to load, or the files to check (exactly one)");
  input
      ->add_option("--tps", o.tps,
                   "TPS landmark file; the sample is superimposed. Several files are read in "
                   "order as one sample")
      ->check(kExistingFile);
  input
      ->add_option("--tps-scale", o.tps_scale,
                   "TPS landmark file with a SCALE= line after each specimen; coordinates are "
                   "multiplied by their specimen's factor, then superimposed. Several files are "
                   "read in order as one sample")
      ->check(kExistingFile);
  input
      ->add_option("--matrix", o.matrix,
                   "Plain numeric matrix, one specimen per line (x1 y1 ... xk yk size), "
                   "taken as it is")
      ->check(kExistingFile);
  input->add_flag("--check", o.checking,
                  "Read each TPS file given after the options without computing anything and "
                  "report what a load would find; exit status 0: loads cleanly, 1: fails, 3: "
                  "loads with warnings");
  input->require_option(1);
  app.add_option("files", o.check, "With --check, the TPS files to check")->check(kExistingFile);
  app.add_flag("--json", o.json, "With --check, print the reports as JSON");
  app.add_flag("--curves", o.curves,
               "Append each specimen's CURVES= points to its landmarks (numbered k+1 onwards)");
  app.add_flag("--missing", o.missing,
               "Keep specimens with missing landmarks (NA, nan, or the --missing-code); "
               "measurements that use a missing landmark are NaN");
  app.add_option("--missing-code", o.missing_code,
                 "A coordinate equal to this number is missing, or \"negative\" for every "
                 "negative coordinate (implies --missing)");
  app.add_flag("--converge", o.converge,
               "Superimpose a TPS sample until no specimen turns by more than a few units in "
               "the last place, instead of stopping when the consensus changes by less than "
               "7.45e-10 (summed squares), which leaves specimens up to about 1e-5 radians "
               "short of their best rotation; changes the superimposed coordinates and the "
               "consensus, not the distances or angles. The outlier screen always uses it");
  app.add_option("--dimensions", o.dimensions,
                 "Coordinates per landmark of a --tps or --matrix sample: 2 (x y), or 3 to read "
                 "TPS specimens of LM=k followed by k lines of x y z, and a matrix of 3k + 1 "
                 "columns (x1 y1 z1 ... xk yk zk, then the size); LM3= specimens are 3-D either "
                 "way")
      ->check(CLI::IsMember({2, 3}))
      ->capture_default_str();
  app.add_option("--pairs", o.pairs,
                 "Pair list: one distance per line, \"n a b\" with landmark numbers a and b")
      ->check(kExistingFile);
  app.add_flag("--all-pairs", o.all_pairs,
               "Use every pair of the sample's landmarks (1 2, 1 3, ..., k-1 k) as the pair "
               "list; counts as --pairs");
  app.add_option("--write-pairs", o.write_pairs,
                 "Save the pair list in use (from --pairs or --all-pairs) as \"n a b\" lines")
      ->check(kFileName);
  app.add_option("--triples", o.triples,
                 "Triple list: one angle per line, \"n a v b\", the angle at landmark v between "
                 "the arms to a and b")
      ->check(kExistingFile);
  app.add_option("--lengths", o.lengths, "Write the distances and the size column (needs --pairs)")
      ->check(kFileName);
  app.add_option(
         "--log-lengths", o.log_lengths,
         "Write the natural logarithms of the distances and the size column (needs --pairs)")
      ->check(kFileName);
  app.add_option("--constrained", o.constrained,
                 "Write each specimen's distances divided by their root sum of squares, and the "
                 "size column (needs --pairs)")
      ->check(kFileName);
  app.add_option("--angles", o.angles, "Write the angles in radians (needs --triples)")
      ->check(kFileName);
  app.add_option("--degrees", o.degrees, "Write the angles in degrees (needs --triples)")
      ->check(kFileName);
  app.add_option("--superimposed", o.superimposed,
                 "Write the sample as loaded (superimposed for TPS input, with its size column), "
                 "each value exactly")
      ->check(kFileName);
  app.add_option("--superimposed-tps", o.superimposed_tps,
                 "Write the sample as loaded (superimposed for TPS input) as a TPS file: per "
                 "specimen LM=, its coordinates exactly (NA for a missing landmark), IMAGE= and "
                 "ID= as read; no SCALE= and no size")
      ->check(kFileName);
  app.add_option("--consensus", o.consensus,
                 "Write the consensus configuration of a TPS sample: as TPS when FILE ends in "
                 ".tps, else by --format, each value exactly")
      ->check(kFileName);
  app.add_option("--outliers", o.outliers,
                 "Screen a TPS sample, superimposed until converged, for outlying specimens "
                 "and write one row per specimen "
                 "by --format: its Procrustes distance to the consensus, rank, whether it is "
                 "above Q3 + 1.5 IQR of the distances (flagged), the landmark adding most to "
                 "it and its share, and for flagged specimens a swap of two landmarks that at "
                 "least halves the distance and whether the mirror image fits at least twice "
                 "as well (plain: distance incomplete rank flagged worst_landmark worst_share "
                 "swap_first swap_second distance_after_swap mirrored, 1/0 for yes/no, NaN where "
                 "a value does not apply); prints the rule and a line per flagged specimen")
      ->check(kFileName);
  app.add_option("--replicates", o.replicates,
                 "How the rows of the sample are replicates of one specimen: \"files\" (each "
                 "file a digitising session of the same specimens, matched by ID=, else by "
                 "IMAGE=) or \"id:PATTERN\" / \"image:PATTERN\" (the first group of the "
                 "regular expression names the specimen, as in 'id:^(.*)_r[0-9]+$')");
  app.add_option("--repeatability", o.repeatability,
                 "With --replicates, write the measurement error of every distance, the "
                 "centroid size, every angle (in degrees) and the shape, one row each by "
                 "--format: specimens, measurements, n0, sums of squares, degrees of freedom "
                 "and mean squares among and within specimens, F, p, variance components, the "
                 "repeatability with its 95% confidence interval and the percentage of "
                 "measurement error; the shape's from a Procrustes analysis of variance of the "
                 "converged superimposition")
      ->check(kFileName);
  app.add_option("--replicate-distances", o.replicate_distances,
                 "With --replicates, write for each specimen of a TPS sample the largest "
                 "Procrustes distance between two of its replicates (converged "
                 "superimposition), which two, its rank and whether it is above Q3 + 1.5 IQR")
      ->check(kFileName);
  app.add_option("--groups", o.groups,
                 "A group for each specimen, which every table writes in a group column and "
                 "--summary and the allometric slopes go by: \"file\" (the file it was read "
                 "from), \"id:PATTERN\" / \"image:PATTERN\" (the first group of the regular "
                 "expression names the group, as in 'id:^([A-Z]+)-'), or a CSV file of "
                 "specimen ID and group, one specimen a line");
  app.add_option("--summary", o.summary,
                 "Write for each distance, log distance, constrained distance, angle (in "
                 "degrees) and the centroid size, per group and for all specimens together: "
                 "n, mean, sd, cv_percent (100 sd / mean), min, max and the missing count")
      ->check(kFileName);
  app.add_option("--allometric", o.allometric,
                 "Write the distances normalised for size (Lleonart, Rubio & Salat 2000): "
                 "Y (X0 / X)^b, b the least-squares slope of ln Y on ln X (pooled within "
                 "--groups), X the centroid size or --allometric-size, X0 the mean of X or "
                 "--allometric-x0; then the size column (needs --pairs)")
      ->check(kFileName);
  app.add_option("--allometric-size", o.allometric_size,
                 "The size variable X of the allometric normalisation: centroid_size (the "
                 "default) or a distance's column, as d3_7");
  app.add_option("--allometric-x0", o.allometric_x0,
                 "The reference size X0 of the allometric normalisation (default: the mean of X)");
  app.add_option("--allometric-slopes", o.allometric_slopes,
                 "Write each distance's allometric slope b with its standard error, r squared "
                 "(within groups), n, residual degrees of freedom and X0 (needs --pairs)")
      ->check(kFileName);
  app.add_option("--log-shape-ratios", o.log_shape_ratios,
                 "Write Mosimann's log-shape ratios (1970): each log distance minus the mean of "
                 "the specimen's log distances; then the size column (needs --pairs)")
      ->check(kFileName);
  app.add_option("--burnaby", o.burnaby,
                 "Write the log distances with size removed by Burnaby's back-projection "
                 "(1966), Z (I - V (V'V)^-1 V'), V by --burnaby-vector; then the size column "
                 "(needs --pairs). Prints by how many dimensions the corrected covariance matrix "
                 "is singular")
      ->check(kFileName);
  app.add_option("--burnaby-vector", o.burnaby_vector,
                 "The size vector V of Burnaby's correction: isometric (the default) or pc1, "
                 "the first principal component of the log distances")
      ->check(CLI::IsMember({"isometric", "pc1"}));
  app.add_option("--pca", o.pca,
                 "A principal component analysis of a dataset: lengths, log-lengths, "
                 "constrained, angles, degrees, allometric, log-shape-ratios or burnaby (its "
                 "variables, without the size column), written by --pca-scores, --pca-loadings "
                 "and --pca-variance")
      ->check(CLI::IsMember(dg::dataset_names()));
  app.add_option("--pca-matrix", o.pca_matrix,
                 "The matrix of --pca: covariance (the default) or correlation")
      ->check(CLI::IsMember({"covariance", "correlation"}));
  app.add_option("--pca-scores", o.pca_scores,
                 "Write each specimen's scores on the components of --pca")
      ->check(kFileName);
  app.add_option("--pca-loadings", o.pca_loadings,
                 "Write each variable's loadings (eigenvector elements) on the components")
      ->check(kFileName);
  app.add_option("--pca-variance", o.pca_variance,
                 "Write each component's standard deviation, variance, proportion and "
                 "cumulative proportion of the total variance")
      ->check(kFileName);
#if DISTANGLER_PLOT
  app.add_option("--plot", o.plot,
                 "Paint the plot the window would show after the actions into this file: "
                 "SVG, PNG or PDF by its extension (.svg, .png, .pdf)")
      ->check(plot_path_check([](const std::string& path) { dg::plot_format(path); },
                              "FILE.svg|.png|.pdf"));
#else
  app.add_option("--plot", o.plot,
                 "Draw the plot the window would show after the actions into this SVG file "
                 "(.svg; this build has no Qt for PNG or PDF)")
      ->check(plot_path_check(dg::check_svg_plot_path, "FILE.svg"));
#endif
#if DISTANGLER_PLOT
  app.add_option("--specimen-plots", o.specimen_plots,
                 "Paint each specimen of a TPS sample on its photo (IMAGE=) into DIR, made when "
                 "missing: one PNG per specimen, named by its number and ID (or image), with "
                 "its landmarks as digitised (pixels, y up from the photo's bottom-left corner) "
                 "numbered, the --pairs and --triples drawn, and the outlier screen's verdict "
                 "(as --outliers) in the corner; a specimen whose photo is not found gets a "
                 "blank field that says so. Also index.html, a page of them all sorted by the "
                 "outlier distance, largest first")
      ->check(kFolderName);
  app.add_option("--images", o.images,
                 "With --specimen-plots, the folder where photos are looked for when the path "
                 "of IMAGE= is not found: its file name is tried in the TPS file's folder, "
                 "then in DIR (then in any letter case)")
      ->check(CLI::ExistingDirectory);
#endif
  app.add_option("--format", o.format,
                 "How every dataset is written: plain (values separated by blanks, as the "
                 "window's saves), csv or tsv (a table with a header row and the specimens' "
                 "number, ID and image)")
      ->check(CLI::IsMember({"plain", "csv", "tsv"}))
      ->capture_default_str();
  app.add_flag("--timings", o.timings, "Print each stage's time on standard error");
  app.add_option("--threads", o.threads,
                 "Threads for superimposing, measuring and formatting the datasets (1 to 256; "
                 "default: the machine's cores); every output is the same for every N")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::size_t n = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
            if (error != std::errc() || end != text.data() + text.size() || n == 0 ||
                n > kMaxThreads) {
              return "the thread count must be a whole number from 1 to " +
                     std::to_string(kMaxThreads) + ", not \"" + text + "\"";
            }
            return std::string();
          },
          "N"));
  app.add_option("--manifest", o.manifest,
                 "After the run, write a JSON manifest of it: the version, the command line, "
                 "each input's size and SHA-256, the pair and triple lists, the options, the "
                 "counts, the warnings, and each output's rows and SHA-256 (or the error of a "
                 "failed run)")
      ->check(kFileName);
  CLI11_PARSE(app, argc, argv);

  if (o.checking != !o.check.empty()) {
    std::cerr << (o.checking ? "distangler-batch: --check needs the files to check.\n"
                             : "distangler-batch: files are only named without an option with "
                               "--check; load a sample with --tps, --tps-scale or --matrix.\n");
    return 2;
  }
  if (!o.manifest.empty() && o.checking) {
    std::cerr << "distangler-batch: --manifest describes a run; --check runs nothing.\n";
    return 2;
  }
  if (o.all_pairs && !o.pairs.empty()) {
    std::cerr << "distangler-batch: --all-pairs and --pairs both give the pair list; use one.\n";
    return 2;
  }
  const bool pairs = !o.pairs.empty() || o.all_pairs;
  if (!o.write_pairs.empty() && !pairs) {
    std::cerr << "distangler-batch: --write-pairs needs --pairs or --all-pairs.\n";
    return 2;
  }
  bool distances = !o.lengths.empty() || !o.log_lengths.empty() || !o.constrained.empty();
  if (distances && !pairs) {
    std::cerr << "distangler-batch: --lengths, --log-lengths and --constrained need --pairs.\n";
    return 2;
  }
  const bool corrections = !o.allometric.empty() || !o.allometric_slopes.empty() ||
                           !o.log_shape_ratios.empty() || !o.burnaby.empty();
  if (corrections && !pairs) {
    std::cerr << "distangler-batch: --allometric, --allometric-slopes, --log-shape-ratios and "
                 "--burnaby need --pairs.\n";
    return 2;
  }
  const bool allometric =
      !o.allometric.empty() || !o.allometric_slopes.empty() || o.pca == "allometric";
  if ((!o.allometric_size.empty() || !o.allometric_x0.empty()) && !allometric) {
    std::cerr << "distangler-batch: --allometric-size and --allometric-x0 set the allometric "
                 "normalisation; they are of use only with --allometric, --allometric-slopes or "
                 "--pca allometric.\n";
    return 2;
  }
  if (!o.burnaby_vector.empty() && o.burnaby.empty() && o.pca != "burnaby") {
    std::cerr << "distangler-batch: --burnaby-vector sets Burnaby's correction; it is of use "
                 "only with --burnaby or --pca burnaby.\n";
    return 2;
  }
  const bool pca_outputs =
      !o.pca_scores.empty() || !o.pca_loadings.empty() || !o.pca_variance.empty();
  if (pca_outputs != !o.pca.empty() || (!o.pca_matrix.empty() && o.pca.empty())) {
    std::cerr << "distangler-batch: --pca-scores, --pca-loadings and --pca-variance need --pca "
                 "(the dataset to analyse), which, like --pca-matrix, is of use only with one of "
                 "them.\n";
    return 2;
  }
  dg::SizeOptions size_options;
  if (!o.allometric_size.empty()) size_options.allometric_size = o.allometric_size;
  if (!o.allometric_x0.empty()) {
    double x0 = 0;
    const char* end = o.allometric_x0.data() + o.allometric_x0.size();
    const auto [stop, error] = std::from_chars(o.allometric_x0.data(), end, x0);
    if (error != std::errc() || stop != end || !(x0 > 0) || !std::isfinite(x0)) {
      std::cerr << "distangler-batch: --allometric-x0 must be a positive number, not \""
                << o.allometric_x0 << "\".\n";
      return 2;
    }
    size_options.x0 = x0;
  }
  if (o.burnaby_vector == "pc1") size_options.burnaby = dg::BurnabyVector::first_component;
  if ((!o.angles.empty() || !o.degrees.empty()) && o.triples.empty()) {
    std::cerr << "distangler-batch: --angles and --degrees need --triples.\n";
    return 2;
  }

  const bool replicate_outputs = !o.repeatability.empty() || !o.replicate_distances.empty();
  if (replicate_outputs != !o.replicates.empty()) {
    std::cerr << "distangler-batch: --repeatability and --replicate-distances need --replicates, "
                 "which is of use only with one of them.\n";
    return 2;
  }
  for (const auto& [option, path] :
       {std::pair{"--consensus", &o.consensus}, std::pair{"--outliers", &o.outliers},
        std::pair{"--replicate-distances", &o.replicate_distances}}) {
    if (!path->empty() && !o.matrix.empty()) {
      std::cerr << "distangler-batch: " << option
                << " needs a TPS sample (--tps or --tps-scale); a --matrix input is taken as it "
                   "is and has no consensus.\n";
      return 2;
    }
  }
  if (!o.specimen_plots.empty() && !o.matrix.empty()) {
    std::cerr << "distangler-batch: --specimen-plots needs a TPS sample (--tps or --tps-scale); "
                 "a --matrix input has no photos.\n";
    return 2;
  }
  if (!o.images.empty() && o.specimen_plots.empty()) {
    std::cerr << "distangler-batch: --images says where --specimen-plots finds the photos; it is "
                 "of use only with it.\n";
    return 2;
  }

  // The manifest and every message name files by their absolute paths.
  for (std::string* path : {&o.matrix, &o.pairs, &o.triples, &o.lengths, &o.log_lengths,
                            &o.constrained, &o.angles, &o.degrees, &o.superimposed, &o.plot}) {
    if (!path->empty()) *path = absolute_path(*path);
  }
  if (!o.write_pairs.empty()) o.write_pairs = absolute_path(o.write_pairs);
  for (std::string* path :
       {&o.superimposed_tps, &o.consensus, &o.outliers, &o.repeatability, &o.replicate_distances,
        &o.specimen_plots, &o.images, &o.summary, &o.allometric, &o.allometric_slopes,
        &o.log_shape_ratios, &o.burnaby, &o.pca_scores, &o.pca_loadings, &o.pca_variance}) {
    if (!path->empty()) *path = absolute_path(*path);
  }
  if (!o.manifest.empty()) o.manifest = absolute_path(o.manifest);
  for (auto* paths : {&o.tps, &o.tps_scale}) {
    for (std::string& path : *paths) path = absolute_path(path);
  }

  // An output that is one of the run's inputs would destroy it: the run is
  // refused before anything is read or written.
  std::vector<dg::ReadFile> inputs;
  for (const std::string& path : o.tps) inputs.push_back({"the --tps file", path});
  for (const std::string& path : o.tps_scale) inputs.push_back({"the --tps-scale file", path});
  if (!o.matrix.empty()) inputs.push_back({"the --matrix file", o.matrix});
  if (!o.pairs.empty()) inputs.push_back({"the --pairs file", o.pairs});
  if (!o.triples.empty()) inputs.push_back({"the --triples file", o.triples});
  // A groups rule that is neither "file" nor a pattern names a CSV file.
  const bool groups_file = !o.groups.empty() && o.groups != "file" &&
                           o.groups.rfind("id:", 0) != 0 && o.groups.rfind("image:", 0) != 0;
  if (groups_file) {
    o.groups = absolute_path(o.groups);
    inputs.push_back({"the --groups file", o.groups});
  }
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--write-pairs", &o.write_pairs},
      {"--lengths", &o.lengths},
      {"--log-lengths", &o.log_lengths},
      {"--constrained", &o.constrained},
      {"--angles", &o.angles},
      {"--degrees", &o.degrees},
      {"--superimposed", &o.superimposed},
      {"--superimposed-tps", &o.superimposed_tps},
      {"--consensus", &o.consensus},
      {"--outliers", &o.outliers},
      {"--repeatability", &o.repeatability},
      {"--replicate-distances", &o.replicate_distances},
      {"--summary", &o.summary},
      {"--allometric", &o.allometric},
      {"--allometric-slopes", &o.allometric_slopes},
      {"--log-shape-ratios", &o.log_shape_ratios},
      {"--burnaby", &o.burnaby},
      {"--pca-scores", &o.pca_scores},
      {"--pca-loadings", &o.pca_loadings},
      {"--pca-variance", &o.pca_variance},
      {"--plot", &o.plot},
      {"--manifest", &o.manifest}};
  try {
    for (const auto& [option, path] : outputs) {
      if (!path->empty()) dg::refuse_overwriting_input(option, *path, inputs);
    }
  } catch (const dg::RuntimeError& error) {
    std::cerr << "distangler-batch: " << error.what() << "\n";
    return 2;
  }

  if (o.threads != 0) dg::set_thread_count(o.threads);
  Steps steps(o.timings);
  Run done;
  const auto warn = [&](std::vector<std::string> warnings) {
    for (std::string& warning : warnings) {
      std::cerr << "Warning: " << warning << "\n";
      done.warnings.push_back(std::move(warning));
    }
  };
  std::optional<std::string> failure;
  try {
    dg::LoadOptions load;
    load.reading.curves = o.curves;
    load.reading.missing = o.missing;
    load.reading.dimensions = o.dimensions;
    load.converge = o.converge;
    if (!o.missing_code.empty()) dg::set_missing_code(load.reading, o.missing_code);
    const dg::TableFormat format = dg::table_format(o.format);
    if (!o.check.empty()) return check_files(o.check, load.reading, o.json);

    const std::vector<std::string>& tps = !o.tps.empty() ? o.tps : o.tps_scale;
    load.format = !o.matrix.empty()      ? dg::SampleFormat::matrix
                  : !o.tps_scale.empty() ? dg::SampleFormat::tps_scale
                                         : dg::SampleFormat::tps;
    // Each step is timed under the name of the window's action that does its work.
    using dg::Action;
    const auto named = [](Action action) { return std::string(dg::word_of(action)); };
    steps.step(named(!o.matrix.empty() ? Action::GetData
                     : !o.tps.empty()  ? Action::GetTPSData
                                       : Action::GetTPSScale),
               [&] {
                 std::vector<std::string> warnings;
                 try {
                   done.sample = dg::load_sample(!o.matrix.empty() ? std::vector{o.matrix} : tps,
                                                 load, warnings);
                 } catch (...) {
                   warn(std::move(warnings));
                   throw;
                 }
                 warn(std::move(warnings));
               });
    const dg::Sample& sample = done.sample;
    if (!o.pairs.empty()) {
      steps.step(named(Action::GetLengths), [&] { done.pairs = read_list(o.pairs, 2, sample); });
    }
    if (o.all_pairs) {
      steps.step("all pairs", [&] { done.pairs = dg::all_pairs(sample.landmarks()); });
    }
    if (!o.write_pairs.empty()) {
      steps.step("write pairs", [&] { dg::write_list(o.write_pairs, done.pairs); });
    }
    if (!o.triples.empty()) {
      steps.step(named(Action::GetAngles), [&] { done.triples = read_list(o.triples, 3, sample); });
    }
    // The distances are computed block by block as each dataset is written.
    dg::CheckedList pairs{done.pairs, 2, {}};
    if (distances || corrections || !o.replicates.empty() || !o.summary.empty() || !o.pca.empty()) {
      steps.step(named(Action::CalcLengths),
                 [&] { pairs = dg::checked_list(done.pairs, 2, sample.landmarks()); });
    }
    const dg::RowSource rows = dg::distance_rows(sample, pairs.landmarks);
    std::optional<dg::SpecimenGroups> groups;
    if (!o.groups.empty()) {
      steps.step("groups", [&] { groups = dg::sample_groups(sample, o.groups); });
    }
    const dg::Study study{sample, std::move(pairs),
                          dg::checked_list(done.triples, 3, sample.landmarks()), rows,
                          groups ? &*groups : nullptr};
    const dg::Digest digest = o.manifest.empty() ? dg::Digest::none : dg::Digest::sha256;
    const auto wrote = [&](const dg::Written& written) {
      done.outputs.push_back({written.path, written.rows, written.sha256});
    };
    if (!o.write_pairs.empty()) done.outputs.push_back({o.write_pairs, done.pairs.rows()});
    const std::tuple<std::string, dg::Output, const std::string*> saves[] = {
        {named(Action::SaveLengths), dg::Output::lengths, &o.lengths},
        {named(Action::SaveLogLengths), dg::Output::log_lengths, &o.log_lengths},
        {named(Action::SaveConstrained), dg::Output::constrained, &o.constrained},
        {named(Action::SaveAngles), dg::Output::angles, &o.angles},
        {named(Action::SaveDegrees), dg::Output::degrees, &o.degrees},
        {"superimposed", dg::Output::superimposed, &o.superimposed},
        {"superimposed TPS", dg::Output::superimposed_tps, &o.superimposed_tps},
        {"consensus", dg::Output::consensus, &o.consensus}};
    // The distance datasets go together, in one pass over the sample, where
    // they can.
    std::vector<std::pair<dg::Output, std::string>> distances;
    std::string together;
    for (const auto& [name, what, path] : saves) {
      if (path->empty() || !dg::distance_output(what)) continue;
      distances.emplace_back(what, *path);
      together += (together.empty() ? "" : "+") + name;
    }
    bool distances_written = false;
    if (distances.size() >= 2) {
      steps.step(together, [&] {
        std::vector<std::string> warnings;
        if (auto written =
                dg::write_distances_at_once(study, distances, format, warnings, digest)) {
          for (const dg::Written& w : *written) done.outputs.push_back({w.path, w.rows, w.sha256});
          distances_written = true;
        }
        warn(std::move(warnings));
      });
    }
    for (const auto& [name, what, path] : saves) {
      if (path->empty() || (distances_written && dg::distance_output(what))) continue;
      steps.step(name, [&, what = what, path = path] {
        std::vector<std::string> warnings;
        const dg::Written written = dg::write_output(study, what, *path, format, warnings, digest);
        warn(std::move(warnings));
        done.outputs.push_back({written.path, written.rows, written.sha256});
      });
    }
    // The screen of --outliers, which --specimen-plots shows too.
    std::optional<dg::OutlierScreen> outlier_screen;
    const auto screened = [&]() -> const dg::OutlierScreen& {
      if (!outlier_screen) {
        std::vector<std::string> warnings;
        outlier_screen = dg::screen_outliers(sample, warnings);
        warn(std::move(warnings));
      }
      return *outlier_screen;
    };
    if (!o.outliers.empty()) {
      steps.step("outliers", [&] {
        const dg::OutlierScreen& screen = screened();
        for (const std::string& line : dg::outlier_report(sample, screen)) {
          std::cout << line << "\n";
        }
        wrote(dg::write_outliers(sample, screen, o.outliers, format, digest,
                                 dg::group_column(study.groups)));
      });
    }
    if (!o.replicates.empty()) {
      steps.step("measurement error", [&] {
        std::vector<std::string> warnings;
        const dg::MeasurementError error =
            dg::measurement_error(study, dg::replicate_groups(sample, o.replicates), warnings);
        warn(std::move(warnings));
        for (const std::string& line : dg::measurement_error_report(sample, error)) {
          std::cout << line << "\n";
        }
        for (const auto& [path, write] :
             {std::pair{&o.repeatability, &dg::write_repeatability},
              std::pair{&o.replicate_distances, &dg::write_replicate_distances}}) {
          if (path->empty()) continue;
          wrote(write(error, *path, format, digest));
        }
      });
    }
    if (!o.summary.empty()) {
      steps.step("summary", [&] { wrote(dg::write_summary(study, o.summary, format, digest)); });
    }
    // Each correction is computed once, for its dataset, its table and the PCA.
    std::vector<std::pair<std::string, dg::Variables>> computed;
    const auto variables = [&](const std::string& name) -> const dg::Variables& {
      for (const auto& [dataset, v] : computed) {
        if (dataset == name) return v;
      }
      computed.emplace_back(name, dg::study_variables(study, name, size_options));
      const dg::Variables& v = computed.back().second;
      if (!v.note.empty()) std::cout << v.note << "\n";
      return v;
    };
    const std::pair<const char*, const std::string*> corrected[] = {
        {"allometric", &o.allometric},
        {"log-shape-ratios", &o.log_shape_ratios},
        {"burnaby", &o.burnaby}};
    for (const auto& [name, path] : corrected) {
      if (path->empty()) continue;
      steps.step(name, [&, name = name, path = path] {
        std::vector<std::string> warnings;
        const dg::Written written =
            dg::write_variables(study, variables(name), *path, format, warnings, digest);
        warn(std::move(warnings));
        wrote(written);
      });
    }
    if (!o.allometric_slopes.empty()) {
      steps.step("allometric slopes", [&] {
        wrote(dg::write_slopes(variables("allometric"), o.allometric_slopes, format, digest));
      });
    }
    if (!o.pca.empty()) {
      steps.step("pca", [&] {
        const dg::Variables& v = variables(o.pca);
        const dg::Pca pca = dg::study_pca(v, o.pca_matrix == "correlation");
        std::vector<std::string> warnings;
        if (!o.pca_scores.empty()) {
          wrote(dg::write_pca_scores(study, pca, o.pca_scores, format, warnings, digest));
        }
        warn(std::move(warnings));
        if (!o.pca_loadings.empty()) {
          wrote(dg::write_pca_loadings(v, pca, o.pca_loadings, format, digest));
        }
        if (!o.pca_variance.empty()) {
          wrote(dg::write_pca_variance(pca, o.pca_variance, format, digest));
        }
      });
    }
#if DISTANGLER_PLOT
    // Both pictures paint offscreen, in one application made for the first.
    int qt_argc = 1;
    std::optional<QGuiApplication> gui;
    const auto start_gui = [&] {
      if (gui) return;
      qputenv("QT_QPA_PLATFORM", "offscreen");
      // Qt's start-up notes (such as a missing runtime folder) do not concern the user.
      QtMessageHandler previous =
          qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
      gui.emplace(qt_argc, argv);
      qInstallMessageHandler(previous);
    };
    if (!o.specimen_plots.empty()) {
      steps.step("specimen plots", [&] {
        start_gui();
        dg::SpecimenPlots plots{o.specimen_plots, o.images, nullptr, done.pairs, done.triples};
        if (!sample.consensus.empty()) plots.screen = &screened();
        for (std::string& path : dg::write_specimen_plots(sample, load, plots, inputs)) {
          done.outputs.push_back({std::move(path), std::nullopt});
        }
      });
    }
#endif
    if (!o.plot.empty()) {
      steps.step("plot", [&] {
#if DISTANGLER_PLOT
        start_gui();
#endif
        // The picture the window's axes would show after the same loads.
        dg::HeadlessPlatform platform;
        dg::Session session(platform);
        session.handler.sample = sample;
        session.handler.tlengths = done.pairs;
        session.handler.tangles = done.triples;
        dg::actions::set_up_view(session);
        dg::actions::draw_sample(session);
        dg::Graphics& graphics = session.graphics;
        auto figure = graphics.figure_of(graphics.gca());
#if DISTANGLER_PLOT
        dg::write_plot(graphics, *figure, o.plot);
#else
        dg::write_svg_plot(graphics, *figure, o.plot);
#endif
      });
      done.outputs.push_back({o.plot, std::nullopt});
    }
  } catch (const dg::RuntimeError& error) {
    std::cerr << "distangler-batch: " << error.what() << "\n";
    failure = error.what();
  }
  if (!o.manifest.empty()) {
    // The corrections saved into a TPS input, logged beside it, are named in the manifest.
    std::vector<std::string> warnings;
    for (const auto* paths : {&o.tps, &o.tps_scale}) {
      for (const std::string& path : *paths)
        done.edits.push_back(dg::read_edits_log(path, warnings));
    }
    warn(std::move(warnings));
    try {
      steps.step("manifest", [&] {
        dg::write_manifest(o.manifest, describe_run(o, std::vector<std::string>(argv, argv + argc),
                                                    done, failure));
      });
    } catch (const dg::RuntimeError& error) {
      std::cerr << "distangler-batch: " << error.what() << "\n";
      return 1;
    }
  }
  return failure ? 1 : 0;
}

int main(int argc, char** argv) {
  return dg::run_program("distangler-batch", [&] { return run(argc, argv); });
}
