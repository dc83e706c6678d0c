// The groups of a sample from its files and from a CSV file of ID and
// group; the patterns share the replicates' rule (replicates_test).
#include "pipeline/groups.hpp"

#include "pipeline_support.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

using GroupsTest = ScratchTest;

const char* kTwo = "LM=2\n0 0\n1 0\nID=a-1\nLM=2\n0 0\n2 0\nID=b-1\nLM=2\n0 0\n3 1\nIMAGE=c.jpg\n";

TEST_F(GroupsTest, ACsvFileGivesEachSpecimenItsGroupByIdOrImage) {
  const Sample sample = load(file("s.tps", kTwo));
  // A header, a byte-order mark, quotes, blanks and CRLF line ends.
  const SpecimenGroups groups = csv_groups(
      sample, "\xEF\xBB\xBFid,group\r\n\"a-1\", \"x, y\"\r\nb-1,z\r\n\nc.jpg,z\r\n", "g.csv");
  EXPECT_EQ(groups.names, (std::vector<std::string>{"x, y", "z"}));
  EXPECT_EQ(groups.of, (std::vector<std::size_t>{0, 1, 1}));

  EXPECT_THROW_MSG(csv_groups(sample, "a-1,x\nb-1,y\n", "g.csv"),
                   "Groups are given by the groups file \"g.csv\", which gives no group to "
                   "specimen 3 (IMAGE=c.jpg).");
  EXPECT_THROW_MSG(csv_groups(sample, "a-1,x\nb-1,y\na-1,z\n", "g.csv"),
                   "line 3 of the groups file \"g.csv\" gives \"a-1\" the group \"z\", an earlier "
                   "line \"x\".");
  EXPECT_THROW_MSG(csv_groups(sample, "a-1,\"x\n", "g.csv"),
                   "A quote is left open on line 1 of the groups file \"g.csv\".");
  EXPECT_THROW_MSG(csv_groups(sample, "a-1\n", "g.csv"),
                   "line 1 of the groups file \"g.csv\" has no group: each line is a specimen's "
                   "ID, a comma and its group.");
}

TEST_F(GroupsTest, FilesNameTheirGroupsByNameOrByPathWhereNamesRepeat) {
  std::filesystem::create_directories(dir / "one");
  std::filesystem::create_directories(dir / "two");
  const std::string a = file("one/s.tps", kTwo), b = file("two/s.tps", kTwo);
  const std::string c = file("c.tps", kTwo);
  std::vector<std::string> warnings;
  const Sample same = load_sample({a, b}, {}, warnings);
  EXPECT_EQ(sample_groups(same, "file").names, (std::vector<std::string>{a, b}));
  const Sample apart = load_sample({a, c}, {}, warnings);
  const SpecimenGroups groups = sample_groups(apart, "file");
  EXPECT_EQ(groups.names, (std::vector<std::string>{"s.tps", "c.tps"}));
  EXPECT_EQ(groups.of, (std::vector<std::size_t>{0, 0, 0, 1, 1, 1}));
  EXPECT_THROW_MSG(sample_groups(apart, "id:^([a-z])-"),
                   "Groups are given by the pattern \"^([a-z])-\" in ID=, which gives no group "
                   "to specimen 3 (IMAGE=c.jpg) and specimen 6 (IMAGE=c.jpg).");
}

}  // namespace
}  // namespace dg
