// A session with a stand-in main window: one figure with one axes and a
// control for each tag the handler changes, so actions can be run and their
// effects read back from the graphics tree.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "actions/dahand.hpp"
#include "actions/session.hpp"
#include "morpho/tradangle.hpp"
#include "pipeline/sample.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/graphics/headless_platform.hpp"

namespace dg {

// A sample from rows that hold each specimen's coordinates, then its size.
inline Sample flat_sample(const Matrix& x, std::size_t dims = 2) {
  Sample s;
  s.dimensions = dims;
  const std::size_t width = x.cols() == 0 ? 0 : x.cols() - 1;
  s.coordinates = Matrix(x.rows(), width);
  for (std::size_t i = 0; i < x.rows(); ++i) {
    for (std::size_t c = 0; c < width; ++c) s.coordinates(i, c) = x(i, c);
    s.sizes.push_back(x(i, width));
  }
  s.records.resize(x.rows());
  return s;
}

// The sample as one matrix, each row its coordinates, then its size.
inline Matrix flat_data(const HandlerState& h) {
  return h.sample.empty() ? Matrix() : with_size_column(h.sample);
}

// The angles of a triple list (landmark numbers in columns 2 to 4) on a sample.
inline Matrix angles_of(const Sample& sample, const Matrix& triples) {
  return tradangle(sample.coordinates,
                   landmark_indices(triples, 2, 3, sample.landmarks(), "Triple"),
                   sample.dimensions);
}

class WindowFixture : public ::testing::Test {
 protected:
  WindowFixture() {
    figure = session.graphics.new_figure();
    axes = session.graphics.new_axes(figure);
    for (const char* tag : {"DataBox", "LengthBox", "Load", "GetPairs", "Calc", "Save"}) {
      Handle control = session.graphics.new_uicontrol(figure);
      session.graphics.set(control, "Tag", Value(tag));
      controls[tag] = control;
    }
  }

  void run(const std::string& action) { dahand(session, Value(action)); }
  std::string enable(const std::string& tag) {
    return session.graphics.get(controls.at(tag), "Enable").text();
  }
  std::vector<std::string> box(const std::string& tag) {
    return session.graphics.get(controls.at(tag), "String").lines();
  }
  std::size_t drawn() { return session.graphics.children(axes).size(); }

  std::ostringstream console;
  HeadlessPlatform platform{&console};
  Session session{platform};
  Handle figure = 0;
  Handle axes = 0;
  std::map<std::string, Handle> controls;
};

// The whole contents of a file.
inline std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scratch folder for the files a test writes and reads, removed afterwards.
// Loading moves the current folder to the file's, and Windows removes no
// folder that is some program's current one: the current folder comes back first.
struct ScratchFolder {
  ScratchFolder() { std::filesystem::create_directories(out); }
  ~ScratchFolder() {
    std::filesystem::current_path(start);
    std::filesystem::remove_all(out);
  }

  const std::filesystem::path out =
      std::filesystem::temp_directory_path() /
      ("distangler_" + std::to_string(::getpid()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  const std::filesystem::path start = std::filesystem::current_path();
};

// A window fixture with a scratch folder.
class FilesFixture : public WindowFixture, protected ScratchFolder {
 protected:
  // Writes a file in the scratch folder and returns its path.
  std::string file(const std::string& name, const std::string& text) {
    std::ofstream(out / name, std::ios::binary) << text;
    return (out / name).string();
  }
  std::string read(const std::string& name) { return slurp(out / name); }
  void answer_run(const std::string& path, const std::string& action) {
    platform.answer(path);
    run(action);
  }
};

}  // namespace dg
