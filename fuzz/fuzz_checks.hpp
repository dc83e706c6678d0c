// The checks behind the fuzz targets (fuzz_<name>, one per parser of a user's
// file or text) and behind the test that replays their corpora and regression
// cases. Each check runs its parser on the bytes given. A RuntimeError is the
// expected refusal of bad input and ends the check quietly; any other exception
// escapes, and a broken promise about the result traps (__builtin_trap), so
// libFuzzer and the replay test both see it as a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace dg::fuzz {

// The checks that read a text in several modes (options, windows, dimensions)
// read it in one of them per input, chosen by its length, so that each
// execution stays cheap and mutations reach every mode; the replay of seeds
// and regression cases asks for every mode.
void run_every_mode(bool every);

// read_tps with the size column: as loaded, with scale factors, and with
// curves and missing landmarks. Every specimen gives one row and one record
// (numbered 1..N in line order), the width is odd, the incomplete specimens
// are the rows with a NaN coordinate, and coordinates that look like a
// missing-value code stand at three or more landmarks of two or more
// specimens, the first ones named holding them.
void check_tps(const std::uint8_t* data, std::size_t size);
// parse_matrix: rows times columns numbers, no row or column without the other;
// file_kind on the same bytes tells a kind or refuses them; and the quick
// path for plain decimals agrees with the full decimal reader.
void check_matrix(const std::uint8_t* data, std::size_t size);
// A pair list loaded as a matrix and checked against a fixed 4-landmark sample,
// as the protocol drawing checks it, as the window's quiet check (list_misfit)
// judges a kept list and as formtrad2 measures it; all must agree on whether
// the list is usable.
void check_pairs(const std::uint8_t* data, std::size_t size);
void check_groups(const std::uint8_t* data, std::size_t size);
// A triple list loaded as a matrix and measured by tradangle on the same sample:
// one angle per specimen and triple, from 0 to pi (or NaN).
void check_triples(const std::uint8_t* data, std::size_t size);
// parse_callback: a parsed call written back with format_callback parses to the
// same call and is written the same way again.
void check_callback(const std::uint8_t* data, std::size_t size);
// load_figure_text on a fresh headless graphics tree: a figure comes back, or
// the error leaves the tree as it was.
void check_layout(const std::uint8_t* data, std::size_t size);
// write_g on doubles made from the bytes (raw bits, and decimals near rounding
// boundaries) writes what snprintf("%g") writes; NaN, Inf and -Inf by design.
void check_write_g(const std::uint8_t* data, std::size_t size);
// check_tps (the file check) with default options and with missing values on:
// it never raises, its status is 0, 1 or 3, and 1 exactly when the reader
// refuses the text; the JSON report reads back equal from its dump.
void check_check(const std::uint8_t* data, std::size_t size);
void check_check_load(const std::uint8_t* data, std::size_t size);

// corrected_tps on a text and a few edits made from the bytes (the first 14
// choose the reading options and up to four edits, some of one landmark in a
// chain, moves, restorations and missing marks; the rest is the text): the
// coordinate spans agree with the reader, no edits give the same bytes, and
// the corrected text reads back with each edited landmark at its new value
// (to the decimals written, in the form of the token replaced, never "-0")
// and every other coordinate, token and byte as it was.
void check_corrected(const std::uint8_t* data, std::size_t size);

// read_digitising_text: every photo's block names its photo and holds at
// most k landmarks; written with digitising_text and read back, the same
// photos, names and counts, coordinates to the decimals written, and a second
// writing gives the same bytes.
void check_digitising(const std::uint8_t* data, std::size_t size);

struct Check {
  std::string_view name;  // the target is fuzz_<name>
  void (*run)(const std::uint8_t* data, std::size_t size);
};
std::span<const Check> checks();

}  // namespace dg::fuzz
