// Writes a synthetic TPS landmark file for benchmarks:
//
//   make_tps --specimens N --landmarks K [--scale] [--crlf] [--seed S] [--dimensions 3] OUT
//
// Each specimen is one base shape (K points on a rough ellipse) moved by its own
// random rotation, translation and size, plus small noise per point, written as
// digitising software does: "LM=K", K lines "x y" with 5 decimals, "IMAGE=",
// "ID=" and, with --scale, "SCALE=" (6 significant digits). The same seed gives
// the same file. With --dimensions 3 the base shape is a bent ring in space,
// each specimen is also tilted about the x and y axes, and each landmark line
// holds "x y z" after "LM=K", as a 3-D digitiser writes.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard
// library's distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
  // Standard normal, by the Box-Muller transform (one of each pair kept).
  double normal() {
    if (has_spare_) {
      has_spare_ = false;
      return spare_;
    }
    double u = 1.0 - uniform();  // (0, 1]
    double v = uniform();
    double r = std::sqrt(-2.0 * std::log(u));
    spare_ = r * std::sin(2 * std::numbers::pi * v);
    has_spare_ = true;
    return r * std::cos(2 * std::numbers::pi * v);
  }

 private:
  std::uint64_t state_;
  double spare_ = 0;
  bool has_spare_ = false;
};

// Output through one large buffer, written out whenever it nears full.
class Writer {
 public:
  explicit Writer(std::FILE* file) : file_(file), buffer_(kSize) {}
  char* reserve(std::size_t n) {
    if (used_ + n > buffer_.size()) flush();
    return buffer_.data() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
  void put(std::string_view text) {
    char* p = reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    commit(p + text.size());
  }
  bool flush() {
    if (used_ && std::fwrite(buffer_.data(), 1, used_, file_) != used_) ok_ = false;
    used_ = 0;
    return ok_;
  }
  bool ok() const { return ok_; }

 private:
  static constexpr std::size_t kSize = std::size_t{1} << 22;
  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  bool ok_ = true;
};

// Appends an unsigned integer padded with zeros to at least `width` digits.
char* put_padded(char* p, std::uint64_t value, int width) {
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (auto n = end - digits; n < width; ++n) *p++ = '0';
  std::memcpy(p, digits, static_cast<std::size_t>(end - digits));
  return p + (end - digits);
}

struct Options {
  std::uint64_t specimens = 0;
  std::uint64_t landmarks = 0;
  bool scale = false;
  bool crlf = false;
  bool solid = false;  // --dimensions 3
  std::uint64_t seed = 1;
  std::string out;
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr,
               "make_tps: %s\nusage: make_tps --specimens N --landmarks K [--scale] [--crlf] "
               "[--seed S] [--dimensions 3] OUT\n",
               message);
  std::exit(2);
}

std::uint64_t count(const char* text, const char* what) {
  std::uint64_t value = 0;
  std::string_view s = text;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) {
    usage((std::string(what) + " needs a whole number, not \"" + text + "\"").c_str());
  }
  return value;
}

Options parse(int argc, char** argv) {
  Options o;
  bool have_n = false, have_k = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](const char* what) {
      if (i + 1 >= argc) usage((std::string(what) + " needs a value").c_str());
      return count(argv[++i], what);
    };
    if (arg == "--specimens") {
      o.specimens = value("--specimens"), have_n = true;
    } else if (arg == "--landmarks") {
      o.landmarks = value("--landmarks"), have_k = true;
    } else if (arg == "--seed") {
      o.seed = value("--seed");
    } else if (arg == "--scale") {
      o.scale = true;
    } else if (arg == "--crlf") {
      o.crlf = true;
    } else if (arg == "--dimensions") {
      const std::uint64_t d = value("--dimensions");
      if (d != 2 && d != 3) usage("--dimensions must be 2 or 3");
      o.solid = d == 3;
    } else if (arg.starts_with("--") || !o.out.empty()) {
      usage(("unexpected argument \"" + std::string(arg) + "\"").c_str());
    } else {
      o.out = arg;
    }
  }
  if (!have_n || !have_k || o.out.empty()) usage("--specimens, --landmarks and OUT are required");
  if (o.landmarks == 0) usage("--landmarks must be at least 1");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse(argc, argv);
  std::FILE* file = std::fopen(o.out.c_str(), "wb");
  if (!file) {
    std::perror(o.out.c_str());
    return 1;
  }
  Random random(o.seed);
  const std::string_view eol = o.crlf ? "\r\n" : "\n";
  const std::size_t k = o.landmarks;

  // The base shape: an ellipse with each point's radius and angle jittered.
  std::vector<std::array<double, 2>> base(k);
  for (std::size_t i = 0; i < k; ++i) {
    double step = 2 * std::numbers::pi / static_cast<double>(k);
    double angle = step * (static_cast<double>(i) + random.uniform(-0.3, 0.3));
    double radius = random.uniform(0.85, 1.15);
    base[i] = {600 * radius * std::cos(angle), 250 * radius * std::sin(angle)};
  }
  // Its height above the plane, for a 3-D sample.
  std::vector<double> height(k);
  if (o.solid) {
    for (std::size_t i = 0; i < k; ++i) {
      height[i] = 150 * std::sin(2 * std::atan2(base[i][1], base[i][0])) + random.uniform(-20, 20);
    }
  }

  Writer w(file);
  for (std::uint64_t s = 1; s <= o.specimens; ++s) {
    double theta = random.uniform(-std::numbers::pi / 6, std::numbers::pi / 6);
    double size = random.uniform(0.7, 1.3);
    double c = size * std::cos(theta), sn = size * std::sin(theta);
    double tx = random.uniform(-100, 2500), ty = random.uniform(-100, 1800);
    // 3-D: tilts about the x and y axes and a depth, drawn after the 2-D values.
    double ca = 1, sa = 0, cb = 1, sb = 0, tz = 0;
    if (o.solid) {
      const double a = random.uniform(-0.5, 0.5), b = random.uniform(-0.5, 0.5);
      ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
      tz = random.uniform(-100, 500);
    }

    char* p = w.reserve(32);
    std::memcpy(p, "LM=", 3);
    p = std::to_chars(p + 3, p + 32, k).ptr;
    std::memcpy(p, eol.data(), eol.size());
    w.commit(p + eol.size());

    for (std::size_t i = 0; i < k; ++i) {
      const auto [bx, by] = base[i];
      if (o.solid) {
        // Tilted about x, then y, then turned and sized in the plane as in 2-D.
        const double y1 = ca * by - sa * height[i], z1 = sa * by + ca * height[i];
        const double x2 = cb * bx + sb * z1, z2 = -sb * bx + cb * z1;
        const double x = tx + c * x2 - sn * y1 + 2.0 * random.normal();
        const double y = ty + sn * x2 + c * y1 + 2.0 * random.normal();
        const double z = tz + size * z2 + 2.0 * random.normal();
        p = w.reserve(120);
        for (const double v : {x, y}) {
          p = std::to_chars(p, p + 38, v, std::chars_format::fixed, 5).ptr;
          *p++ = ' ';
        }
        p = std::to_chars(p, p + 38, z, std::chars_format::fixed, 5).ptr;
        std::memcpy(p, eol.data(), eol.size());
        w.commit(p + eol.size());
        continue;
      }
      double x = tx + c * bx - sn * by + 2.0 * random.normal();
      double y = ty + sn * bx + c * by + 2.0 * random.normal();
      p = w.reserve(80);
      p = std::to_chars(p, p + 38, x, std::chars_format::fixed, 5).ptr;
      *p++ = ' ';
      p = std::to_chars(p, p + 38, y, std::chars_format::fixed, 5).ptr;
      std::memcpy(p, eol.data(), eol.size());
      w.commit(p + eol.size());
    }

    p = w.reserve(128);
    std::memcpy(p, "IMAGE=spec_", 11);
    p = put_padded(p + 11, s, 6);
    std::memcpy(p, ".jpg", 4);
    p += 4;
    std::memcpy(p, eol.data(), eol.size());
    p += eol.size();
    std::memcpy(p, "ID=", 3);
    p = std::to_chars(p + 3, p + 32, s).ptr;
    std::memcpy(p, eol.data(), eol.size());
    p += eol.size();
    if (o.scale) {
      std::memcpy(p, "SCALE=", 6);
      p = std::to_chars(p + 6, p + 40, random.uniform(0.005, 0.05), std::chars_format::general, 6)
              .ptr;
      std::memcpy(p, eol.data(), eol.size());
      p += eol.size();
    }
    w.commit(p);
  }
  bool ok = w.flush();
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::fprintf(stderr, "make_tps: could not write %s\n", o.out.c_str());
    return 1;
  }
  return 0;
}
