// SHA-256 digests of files (known digests, a file of several read blocks, the
// errors) and the manifest's document: outputs, lists, counts, warnings, text
// that is not UTF-8, and a failed run.
#include "output/manifest.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "output/sha256.hpp"
#include "runtime/array/file_io.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

namespace fs = std::filesystem;

class ManifestTest : public ScratchTest {};

TEST_F(ManifestTest, Sha256OfKnownFiles) {
  const FileDigest empty = sha256_file(file("empty", ""));
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.sha256, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_file(file("abc", "abc")).sha256,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Three blocks and a few bytes: the digest runs on across block boundaries.
  std::string big;
  for (int i = 0; i < 3 * 4096; ++i) {
    for (int b = 0; b < 256; ++b) big += static_cast<char>(b);
  }
  big += "tail!!!";
  const FileDigest digest = sha256_file(file("big", big));
  EXPECT_EQ(digest.size, big.size());
  EXPECT_EQ(digest.sha256, "edd99722c06c24e59c8b635617e6ac2922f5c69c6790eb5a33e6b4cd1cf8ef47");
}

TEST_F(ManifestTest, Sha256ErrorsNameTheFile) {
  const std::string missing = path_text(dir / "missing.txt");
  EXPECT_THROW_HAS(sha256_file(missing), "Cannot read \"" + missing + "\" for its SHA-256: ");
  const std::string folder = path_text(dir);
  EXPECT_THROW_MSG(sha256_file(folder),
                   "Cannot read \"" + folder + "\" for its SHA-256: not a regular file.");
}

TEST_F(ManifestTest, DocumentOfARun) {
  RunManifest run;
  run.command_line = {"distangler-batch", "--tps", "R\xEDo.tps"};
  run.inputs = {{"sample", file("R\xC3\xADo.tps", "abc")}, {"pairs", file("p.txt", "")}};
  run.pairs = Matrix{{1, 1, 2}, {2, 2, 3}};
  run.options = {{"format", "plain"}};
  run.specimens = 3;
  run.landmarks = 3;
  run.consensus_passes = 2;
  run.incomplete_specimens = 1;
  run.warnings = {"ID \"R\xEDo\" is used twice.", "second"};
  run.outputs = {{file("out.txt", "abc"), 3}, {file("plot.svg", ""), std::nullopt}};

  const nlohmann::ordered_json doc = manifest_json(run);
  EXPECT_EQ(doc["command_line"][2], "R\\xEDo.tps");
  EXPECT_EQ(doc["inputs"][0]["sha256"],
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(doc["pairs"].dump(), "[[1,1,2],[2,2,3]]");
  EXPECT_EQ(doc["triples"].dump(), "[]");
  EXPECT_EQ(doc["counts"].dump(),
            R"({"specimens":3,"landmarks":3,"consensus_passes":2,"incomplete_specimens":1})");
  EXPECT_EQ(doc["warnings"].dump(), R"(["ID \"R\\xEDo\" is used twice.","second"])");
  run.dimensions = 3;
  EXPECT_EQ(manifest_json(run)["counts"].dump(),
            R"({"specimens":3,"landmarks":3,"dimensions":3,"consensus_passes":2,)"
            R"("incomplete_specimens":1})");
  run.dimensions = 2;
  EXPECT_EQ(doc["outputs"][0]["rows"], 3);
  EXPECT_EQ(doc["outputs"][0]["sha256"], doc["inputs"][0]["sha256"]);
  EXPECT_TRUE(doc["outputs"][1]["rows"].is_null());
  EXPECT_TRUE(doc["error"].is_null());

  // A failed run: the error, no outputs, and an input it could not read.
  run.inputs.push_back({"triples", path_text(dir / "gone.txt")});
  run.error = "The file \"gone.txt\" cannot be read.";
  const std::string path = path_text(dir / "manifest.json");
  write_manifest(path, run);
  std::ifstream in(file_path(path), std::ios::binary);
  const auto failed = nlohmann::json::parse(in);
  EXPECT_EQ(failed["error"], *run.error);
  EXPECT_EQ(failed["outputs"].dump(), "[]");
  EXPECT_TRUE(failed["inputs"][2]["sha256"].is_null());
  EXPECT_EQ(failed["inputs"][0]["size"], 3);
}

TEST(IncompleteRows, CountsRowsWithAMissingCoordinate) {
  const double nan = std::nan("");
  const Matrix data{{0, 0, 1, 1}, {nan, nan, 1, 1}, {0, 0, 1, 1}, {0, 0, 1, nan}};
  EXPECT_EQ(incomplete_rows(data), 2u);
  EXPECT_EQ(incomplete_rows(Matrix()), 0u);
}

}  // namespace
}  // namespace dg
