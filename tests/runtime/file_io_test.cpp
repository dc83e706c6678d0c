// Reading user files and replacing them whole: what is refused, what the
// replacement keeps, and paths beyond ASCII.
#include "runtime/array/file_io.hpp"

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "input/dload.hpp"
#include "input/tps_scan.hpp"
#include "output/dataset_file.hpp"
#include "runtime/graphics/headless_platform.hpp"
#include "runtime/graphics/layout_file.hpp"
#include "test_support.hpp"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace dg {
namespace {

namespace fs = std::filesystem;

class FileIoTest : public ScratchTest {
 protected:
  static void put(const std::string& path, const std::string& text) {
    AtomicFile file(path);
    file.write(text);
    file.commit();
  }
};

TEST_F(FileIoTest, NonAsciiFolderLoadsAndSavesWithLfLineEnds) {
  const std::string folder = at("R\xC3\xADo Seco");  // "Río Seco" in UTF-8
  fs::create_directories(file_path(folder));
  Matrix m(2, 2);
  m(0, 0) = 1, m(0, 1) = 2.5, m(1, 0) = -3, m(1, 1) = 4;
  write_dataset(folder + "/datos.txt", m);
  EXPECT_EQ(contents(folder + "/datos.txt"), "1 2.5  \n-3 4  \n");
  EXPECT_EQ(dload(folder + "/datos.txt"), m);
  put(folder + "/muestra.tps", "LM=2\n1 2\n3 4\n");
  EXPECT_EQ(read_tps_file(folder + "/muestra.tps", false).coordinates.rows(), 1u);
  EXPECT_EQ(std::distance(fs::directory_iterator(file_path(folder)), fs::directory_iterator()), 2);
}

TEST_F(FileIoTest, AnOutputIsRefusedWhenItIsAnInputByAnyPath) {
  put(at("sample.tps"), "LM=1\n1 2\n");
  fs::create_directories(dir / "sub");
  const std::vector<ReadFile> inputs{{"the pair list", at("pairs.txt")},
                                     {"the --tps file", at("sample.tps")}};
  const std::string expected = " is the --tps file \"" + at("sample.tps") +
                               "\"; an output never replaces an input, so nothing was written.";
  for (const std::string& spelling :
       {at("sample.tps"), at("sub/../sample.tps"), at("./sample.tps")}) {
    EXPECT_THROW_MSG(refuse_overwriting_input("--lengths", spelling, inputs),
                     "--lengths \"" + spelling + "\"" + expected);
  }
#if !defined(_WIN32)
  fs::create_symlink("sample.tps", dir / "link.tps");
  fs::create_hard_link(dir / "sample.tps", dir / "hard.tps");
  for (const char* other : {"link.tps", "hard.tps"}) {
    EXPECT_THROW_MSG(refuse_overwriting_input("The file", at(other), inputs),
                     "The file \"" + at(other) + "\"" + expected);
  }
#endif
  // Files that are not inputs, existing or still to be made, are written.
  put(at("other.txt"), "x");
  for (const char* name : {"other.txt", "new.txt", "pairs.txt"}) {
    EXPECT_NO_THROW(refuse_overwriting_input("--lengths", at(name), inputs)) << name;
  }
}

#if !defined(_WIN32)

TEST_F(FileIoTest, ReadersRefuseWhatIsNotARegularFileWithoutWaiting) {
  const std::string fifo = at("pipe.tps");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [&] {
    EXPECT_THROW_MSG(read_tps_file(fifo, false),
                     "Error on file open: \"" + fifo + "\" (not a regular file)");
  });
  if (read.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << "reading a FIFO waits for a writer";
    ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets the reader go
  }
  read.get();
  ASSERT_FALSE(HasFailure());  // a reader that reads devices would not stop at /dev/zero
  EXPECT_THROW_MSG(dload("/dev/zero"), "Cannot open \"/dev/zero\": not a regular file");
  EXPECT_THROW_MSG(dload("/dev/null"), "Cannot open \"/dev/null\": not a regular file");
  HeadlessPlatform platform;
  Graphics graphics(platform);
  EXPECT_THROW_MSG(load_figure_file(graphics, fifo),
                   "The layout file \"" + fifo + "\" cannot be opened.");
}

TEST_F(FileIoTest, LinkedTargetIsReplacedThroughTheLinkKeepingItsPermissions) {
  put(at("real.txt"), "old\n");
  ASSERT_EQ(::chmod(at("real.txt").c_str(), 0640), 0);
  fs::create_symlink("real.txt", dir / "link.txt");
  put(at("link.txt"), "new\n");
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(contents(at("real.txt")), "new\n");
  EXPECT_EQ(fs::status(dir / "real.txt").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A link to a file still to be made makes it.
  fs::create_symlink("later.txt", dir / "dangling.txt");
  put(at("dangling.txt"), "made\n");
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.txt"));
  EXPECT_EQ(contents(at("later.txt")), "made\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(FileIoTest, FifoTargetIsWrittenAndStaysAFifo) {
  const std::string fifo = at("out.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Both ends are open before the writer comes, so nothing waits, whatever
  // the writer does; the reader sees the end once both writers are gone.
  const int held = ::open(fifo.c_str(), O_RDWR);
  const int reader = ::open(fifo.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_GE(reader, 0);
  auto received = std::async(std::launch::async, [reader] {
    std::string text;
    char chunk[256];
    for (ssize_t got; (got = ::read(reader, chunk, sizeof chunk)) > 0;) text.append(chunk, got);
    ::close(reader);
    return text;
  });
  put(fifo, "1 2  \n");
  ::close(held);
  EXPECT_EQ(received.get(), "1 2  \n");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FileIoTest, FailuresNameTheFileAndTheReason) {
  EXPECT_THROW_MSG(put(at("no/such.txt"), "x"), "Cannot open \"" + at("no/such.txt") +
                                                    "\" for writing: No such file or directory.");
#if defined(__linux__)
  // Until it is complete the new file has no name, so a killed process leaves none.
  AtomicFile unfinished(at("kept.txt"));
  unfinished.write("never committed");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
#endif
}

#endif

}  // namespace
}  // namespace dg
