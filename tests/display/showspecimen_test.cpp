#include "display/showspecimen.hpp"

#include <cmath>
#include <limits>

#include "runtime/graphics/headless_platform.hpp"
#include "test_support.hpp"

namespace dg {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<Handle> tagged(const Graphics& g, const char* tag) {
  return g.find_by_tag(tag);
}

TEST(ShowSpecimenTest, DrawsThePhotoTheLandmarksAndTheProtocolButNotTheMissing) {
  HeadlessPlatform platform;
  Graphics g(platform);
  const Handle figure = g.new_figure();
  const Handle axes = g.new_axes(figure);
  g.plot(std::vector<double>{5}, std::vector<double>{5}, "k.");  // replaced
  const CheckedList pairs{{}, 2, {0, 1, 0, 2}};                  // 1-2, and 1-3 (missing)
  const CheckedList triples{{}, 3, {2, 0, 1, 0, 1, 3}};          // 3-1-2 (one arm), 1-2-4
  SpecimenPicture picture{{10, 30, kNaN, 50},
                          {20, 25, kNaN, 5},
                          "/p/a.jpg",
                          {{400, 300}},
                          "specimen 2 (ID=x)\ndistance 0.1",
                          &pairs,
                          &triples,
                          "C:\\a.jpg"};
  showspecimen(g, axes, picture);
  ASSERT_EQ(tagged(g, "SpecimenImage").size(), 1u);
  const Handle image = tagged(g, "SpecimenImage").front();
  EXPECT_EQ(g.get(image, "Type").text(), "image");
  EXPECT_EQ(g.get(image, "ImageFile").text(), "/p/a.jpg");
  EXPECT_EQ(g.get(image, "YData").matrix(), (Matrix{{0, 300}}));
  EXPECT_EQ(g.limits_of(axes), (std::array<double, 4>{0, 400, 0, 300}));
  EXPECT_EQ(g.get(axes, "DataAspectRatioMode").text(), "manual");
  const auto marks = tagged(g, "Landmark");
  ASSERT_EQ(marks.size(), 3u);
  EXPECT_EQ(g.get(marks[2], "UserData").scalar(), 4);
  EXPECT_EQ(g.get(marks[2], "XData").scalar(), 50);
  EXPECT_EQ(g.get(marks[2], "Type").text(), "line");
  EXPECT_EQ(tagged(g, "LandmarkNumber").size(), 3u);
  EXPECT_EQ(tagged(g, "Pair").size(), 1u);
  const auto arms = tagged(g, "Triple");
  ASSERT_EQ(arms.size(), 2u);
  EXPECT_TRUE(std::isnan(g.get(arms[0], "XData").matrix()(0, 0)));
  std::vector<std::string> corner;
  for (Handle h : tagged(g, "SpecimenLabel")) corner.push_back(g.get(h, "String").text());
  EXPECT_EQ(corner, (std::vector<std::string>{"specimen 2 (ID=x)", "distance 0.1", "Missing: 3"}));
  EXPECT_EQ(g.children(axes).size(), 13u) << "the earlier drawing is gone";

  // Without a photo: a blank field about the landmarks, which says why.
  picture.image.reset();
  picture.label.clear();
  showspecimen(g, axes, picture);
  EXPECT_TRUE(tagged(g, "SpecimenImage").empty());
  const auto lim = g.limits_of(axes);
  EXPECT_LT(lim[0], 10);
  EXPECT_GT(lim[1], 50);
  EXPECT_LT(lim[2], 5);
  EXPECT_GT(lim[3], 25);
  corner.clear();
  for (Handle h : tagged(g, "SpecimenLabel")) corner.push_back(g.get(h, "String").text());
  EXPECT_EQ(corner, (std::vector<std::string>{"Missing: 3", "Image not found: C:\\a.jpg"}));

  picture.y.pop_back();
  EXPECT_THROW_MSG(showspecimen(g, axes, picture),
                   "A specimen picture needs as many x values as y values; found 4 and 3.");
}

}  // namespace
}  // namespace dg
