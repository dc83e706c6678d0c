#include "actions/function_table.hpp"

#include <algorithm>
#include <cmath>

#include "actions/dahand.hpp"
#include "actions/distangler.hpp"
#include "actions/gettpsfile2.hpp"
#include "actions/gettpsfilescale.hpp"
#include "actions/mfload.hpp"
#include "actions/session.hpp"
#include "display/CopyBigImage.hpp"
#include "display/incrementlinethickness.hpp"
#include "display/incrementsymbolsize.hpp"
#include "display/setlinethickness.hpp"
#include "display/setsymbolbw.hpp"
#include "display/setsymbolfill.hpp"
#include "display/showshape.hpp"
#include "guisupport/cla.hpp"
#include "guisupport/getParentFigure.hpp"
#include "guisupport/guidata.hpp"
#include "guisupport/guihandles.hpp"
#include "guisupport/iskeyword.hpp"
#include "guisupport/isvarname.hpp"
#include "guisupport/movegui.hpp"
#include "guisupport/openfig.hpp"
#include "input/dload.hpp"
#include "morpho/centpos.hpp"
#include "morpho/centsize.hpp"
#include "morpho/formtrad2.hpp"
#include "morpho/getconsensus.hpp"
#include "morpho/landmark_count.hpp"
#include "pipeline/sample.hpp"
#include "runtime/array/error.hpp"
#include "runtime/array/format.hpp"

namespace dg {
namespace {

std::vector<std::string> texts(std::span<const Value> args, const char* function) {
  std::vector<std::string> out;
  for (const Value& arg : args) {
    if (!arg.is_char()) {
      raise(std::string("The function \"") + function + "\" takes texts as inputs, not " +
            arg.kind_name() + ".");
    }
    out.push_back(arg.text());
  }
  return out;
}

const Value& arg(std::span<const Value> args, std::size_t i, const char* function) {
  if (i >= args.size()) {
    raise(std::string("Not enough input arguments: \"") + function + "\" needs " +
          std::to_string(i + 1) + ".");
  }
  return args[i];
}

double number(std::span<const Value> args, std::size_t i, const char* function) {
  const Value& v = arg(args, i, function);
  if (!v.is_double() || v.numel() != 1) {
    raise(std::string("Input ") + std::to_string(i + 1) + " of \"" + function +
          "\" must be a single number, not " + v.kind_name() + ".");
  }
  return v.scalar();
}

// A styling command: a handle and a number, no result.
// The session keeps each styling of the sample's axes, so that a drawing made
// anew keeps the look the user chose (see Session::styling).
void add_styling(FunctionTable& table, const char* name, StylingCommand command) {
  table.add(name, 2, 0, [name, command](Session& s, std::span<const Value> args, int) -> Values {
    const Handle handle = number(args, 0, name);
    const double value = number(args, 1, name);
    command(s.graphics, handle, value);
    s.remember_styling({command, handle, value});
    return {};
  });
}

void black_and_white(Graphics& graphics, Handle handle, double) {
  setsymbolbw(graphics, handle);
}

// The by-name forms of the measurements take a sample as one matrix, each
// row its coordinates followed by its size (the landmark data matrix). The
// first columns of each row up to an even count are its coordinates, the
// last its size: for a matrix of even width the size column also stands in
// the last coordinate pair, as it always has when sizes are measured.
struct FlatSample {
  Matrix coordinates;
  std::vector<double> sizes;
};

FlatSample split_flat(const Matrix& x) {
  FlatSample s{Matrix(x.rows(), 2 * (x.cols() / 2)), std::vector<double>(x.rows())};
  for (std::size_t i = 0; i < x.rows(); ++i) {
    const auto row = x.row(i);
    std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(s.coordinates.cols()),
              s.coordinates.row(i).begin());
    s.sizes[i] = row[x.cols() - 1];
  }
  return s;
}

// The superimposed matrix and the consensus with their size columns back.
Values flat_consensus(Matrix x) {
  const std::size_t n = x.cols();
  if (x.rows() > 0 && n % 2 == 0) {
    raise("The landmark matrix has " + std::to_string(n) +
          " columns, an even number; the landmark coordinates must be followed by a trailing "
          "size column.");
  }
  Sample sample;
  if (x.rows() > 0) {
    FlatSample flat = split_flat(x);
    sample.coordinates = std::move(flat.coordinates);
    sample.sizes = std::move(flat.sizes);
  }
  ConsensusResult fit = getconsensus(std::move(sample.coordinates), 2);
  sample.coordinates = std::move(fit.superimposed);
  sample.consensus = std::move(fit.consensus);
  sample.consensus_scale = fit.scale;
  sample.passes = fit.passes;
  return {Value(consensus_row(sample)), Value(with_size_column(sample))};
}

// Pairs of landmark numbers (columns 1 and 2) as 0-based indices, each
// checked against the k landmarks of the matrix.
std::vector<std::size_t> flat_pairs(const Matrix& pairs, std::size_t k) {
  if (pairs.rows() > 0 && pairs.cols() < 2) {
    raise("The pair list has only one column; each row must hold two landmark numbers.");
  }
  std::vector<std::size_t> index;
  for (std::size_t j = 0; j < pairs.rows(); ++j) {
    for (std::size_t c = 0; c < 2; ++c) {
      const double landmark = pairs(j, c);
      const std::string where =
          "Pair " + std::to_string(j + 1) + " names landmark " + num2str(landmark);
      if (!(landmark >= 1) || std::floor(landmark) != landmark) {
        raise(where + ", which is not a whole positive landmark number.");
      }
      if (landmark > static_cast<double>(k)) {
        raise(where + ", but the data have " + std::to_string(k) + " landmarks.");
      }
      index.push_back(static_cast<std::size_t>(landmark) - 1);
    }
  }
  return index;
}

Matrix flat_formtrad2(const Matrix& x, const Matrix& pairs) {
  if (x.rows() == 0) return Matrix();
  const std::vector<std::size_t> index = flat_pairs(pairs, landmark_count(x.cols()));
  const FlatSample flat = split_flat(x);
  return formtrad2(flat.coordinates, flat.sizes, index, {}, 2);
}

Value column(const std::vector<double>& values) {
  Matrix m(values.size(), 1);
  std::copy(values.begin(), values.end(), m.data());
  return Value(std::move(m));
}

// The outputs of a TPS reader called by name; a cancelled dialog gives empties.
Values tps_outputs(const std::optional<TpsLoad>& load) {
  if (!load) return {Value(), Value(), Value()};
  std::vector<Value> names;
  for (const auto& entry : load->namelist) names.emplace_back(entry);
  names.emplace_back(-1.0);  // the reading ended at the end of the file
  Cell cell{names.size(), 1, std::move(names)};
  return {Value(load->y), Value(load->fname), Value(std::move(cell))};
}

[[noreturn]] void count_error(const FunctionEntry& entry, const char* what, int declared) {
  raise("Run-time Error: File: " + entry.name + " Line: 1 Column: 1 The function \"" + entry.name +
        "\" was called with more than the declared number of " + what + " (" +
        std::to_string(declared) + ").");
}

// Raises the declared-count message when nargout or nargin exceeds the entry's
// declared counts, checking outputs first.
void check_declared_counts(const FunctionEntry& entry, std::size_t nargin, int nargout) {
  if (entry.outputs != kAnyCount && nargout > entry.outputs) {
    count_error(entry, "outputs", entry.outputs);
  }
  if (entry.inputs != kAnyCount && nargin > static_cast<std::size_t>(entry.inputs)) {
    count_error(entry, "inputs", entry.inputs);
  }
}

}  // namespace

void FunctionTable::add(FunctionEntry entry) {
  if (find(entry.name)) raise("The function \"" + entry.name + "\" is registered twice.");
  entries_.push_back(std::move(entry));
}

const FunctionEntry* FunctionTable::find(std::string_view name) const {
  for (const auto& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

Values FunctionTable::call(Session& session, std::string_view name, std::span<const Value> args,
                           int nargout) const {
  const FunctionEntry* entry = find(name);
  if (!entry) raise("Undefined function \"" + std::string(name) + "\".");
  check_declared_counts(*entry, args.size(), nargout);
  return entry->body(session, args, nargout);
}

FunctionTable make_function_table() {
  FunctionTable table;
  table.add("distangler", kAnyCount, kAnyCount,
            [](Session& s, std::span<const Value> args, int nargout) {
              return distangler(s, args, nargout);
            });
  table.add("dahand", 1, 0, [](Session& s, std::span<const Value> args, int) -> Values {
    if (args.empty()) {
      raise(
          "Not enough input arguments: \"dahand\" needs an action word such as "
          "\"GetTPSData\".");
    }
    dahand(s, args[0]);
    return {};
  });
  table.add("centsize", 1, 1, [](Session&, std::span<const Value> args, int) -> Values {
    return {column(centsize(arg(args, 0, "centsize").matrix()))};
  });
  add_styling(table, "setsymbolfill", setsymbolfill);
  add_styling(table, "incrementsymbolsize", incrementsymbolsize);
  add_styling(table, "incrementlinethickness", incrementlinethickness);
  table.add("CopyBigImage", 1, 0, [](Session& s, std::span<const Value>, int) -> Values {
    CopyBigImage(s.graphics);
    s.report("Plot copied to the clipboard");
    return {};
  });
  add_styling(table, "setlinethickness", setlinethickness);
  table.add("setsymbolbw", 1, 0, [](Session& s, std::span<const Value> args, int) -> Values {
    const Handle handle = number(args, 0, "setsymbolbw");
    setsymbolbw(s.graphics, handle);
    s.remember_styling({black_and_white, handle, 0});
    return {};
  });
  table.add("guidata", 2, 1, [](Session& s, std::span<const Value> args, int nargout) -> Values {
    check_nargin(args.size(), 1, 2);
    if (args.size() == 2) {
      check_nargout(nargout, 0, 0);
      guidata(s.graphics, holder_figure(s.graphics, args[0]), args[1]);
      return {};
    }
    return {guidata(s.graphics, holder_figure(s.graphics, args[0]))};
  });
  table.add("guihandles", 1, 1, [](Session& s, std::span<const Value> args, int) -> Values {
    if (args.empty()) return {guihandles(s.graphics)};
    return {guihandles(s.graphics, holder_figure(s.graphics, args[0]))};
  });
  table.add("openfig", 2, 1, [](Session& s, std::span<const Value> args, int) -> Values {
    check_nargin(args.size(), 1, 2);
    if (!args[0].is_char()) raise("The figure file name must be a text.");
    // A policy that is not a text matches neither word.
    std::string policy = args.size() < 2 ? "new" : args[1].is_char() ? args[1].text() : "";
    return {Value(openfig(s.graphics, args[0].text(), policy))};
  });
  table.add("cla", kAnyCount, 1,
            [](Session& s, std::span<const Value> args, int nargout) -> Values {
              Handle axes = cla(s.graphics, texts(args, "cla"));
              if (nargout > 0) return {Value(axes)};
              return {};
            });
  table.add("formtrad2", 2, 1, [](Session&, std::span<const Value> args, int) -> Values {
    return {Value(
        flat_formtrad2(arg(args, 0, "formtrad2").matrix(), arg(args, 1, "formtrad2").matrix()))};
  });
  table.add("getconsensus", 1, 2, [](Session&, std::span<const Value> args, int) -> Values {
    return flat_consensus(arg(args, 0, "getconsensus").matrix());
  });
  table.add("gettpsfile2", 1, 3, [](Session& s, std::span<const Value> args, int) -> Values {
    TpsOptions options;
    options.names = true;  // its third output
    return tps_outputs(
        gettpsfile2(s.platform, arg(args, 0, "gettpsfile2").scalar(), centsize, options));
  });
  table.add("gettpsfilescale", 1, 3, [](Session& s, std::span<const Value> args, int) -> Values {
    TpsOptions options;
    options.names = true;
    return tps_outputs(
        gettpsfilescale(s.platform, arg(args, 0, "gettpsfilescale").scalar(), centsize, options));
  });
  table.add("mfload", 1, 2, [](Session& s, std::span<const Value>, int) -> Values {
    auto load = mfload(s.platform);
    if (!load) return {Value(), Value()};
    return {Value(std::move(load->y)), Value(load->fn)};
  });
  table.add("showshape", 2, 1, [](Session& s, std::span<const Value> args, int) -> Values {
    const Matrix& x = arg(args, 0, "showshape").matrix();
    std::string style = args.size() > 1 ? args[1].text() : "k.";
    return {Value(showshape(s.graphics, x, style))};
  });
  table.add("centpos", 1, 1, [](Session&, std::span<const Value> args, int) -> Values {
    auto c = centpos(arg(args, 0, "centpos").matrix().values());
    return {Value(Matrix{{c[0], c[1]}})};
  });
  table.add("isvarname", 1, 1, [](Session&, std::span<const Value> args, int) -> Values {
    check_nargin(args.size(), 1, 1);
    return {Value(isvarname(args[0]) ? 1.0 : 0.0)};
  });
  table.add("movegui", kAnyCount, 0, [](Session& s, std::span<const Value> args, int) -> Values {
    movegui(s.graphics, args);
    return {};
  });
  table.add("dload", 1, 1, [](Session&, std::span<const Value> args, int) -> Values {
    return {Value(dload(arg(args, 0, "dload").text()))};
  });
  table.add("iskeyword", 1, 1, [](Session&, std::span<const Value> args, int) -> Values {
    if (args.empty()) return {iskeyword()};
    return {Value(iskeyword(args[0]) ? 1.0 : 0.0)};
  });
  return table;
}

Values text_arguments(int argc, const char* const* argv) {
  Values out;
  for (int i = 0; i < argc; ++i) out.emplace_back(std::string(argv[i]));
  return out;
}

}  // namespace dg
