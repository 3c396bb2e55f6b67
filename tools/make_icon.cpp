// Draws Pelorin's application icon and writes it as one .ico file holding three images:
// 32 x 32 in two colours, 32 x 32 in 16 colours and 16 x 16 in 16 colours.
//
// The picture: a rounded tile with a sound wave that fades out to the right, above a time
// ruler; what the program is about, a sound and how long it lasts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kTransparent = -1;

// The 16 colours of the classic palette, as blue, green, red.
constexpr std::uint8_t kPalette16[16][3] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},  {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},    {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
constexpr std::uint8_t kPalette2[2][3] = {{0, 0, 0}, {255, 255, 255}};

enum Colour16 { kNavy = 4, kTeal = 6, kYellow = 11, kWhite = 15 };

struct Image {
  int size;
  int bitsPerPixel;
  std::vector<int> pixels;  // palette index per pixel, top row first; kTransparent outside
};

bool insideRoundedTile(int x, int y, int size) {
  const double radius = size / 5.0;
  const double cx = std::clamp(x + 0.5, radius, size - radius);
  const double cy = std::clamp(y + 0.5, radius, size - radius);
  return std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius;
}

// Height of the wave at x (0 to 1 across the wave), as a share of the wave's width: three
// cycles that swell and fade, as a sound does.
double waveAt(double t) {
  return 0.24 * std::sin(std::numbers::pi * t) * std::sin(2 * std::numbers::pi * 3 * t);
}

// Whether the pixel (x, y) lies on the wave drawn as a line between the pixel's edges.
bool onWave(int x, int y, int size) {
  const int margin = size / 8;
  const double width = size - 2 * margin;
  if (x < margin || x >= size - margin) return false;
  const double middle = size * 0.42;
  const double left = middle - width * waveAt((x - margin) / width);
  const double right = middle - width * waveAt((x + 1 - margin) / width);
  const double halfThickness = size >= 32 ? 0.9 : 0.6;
  const double centre = y + 0.5;
  return centre >= std::min(left, right) - halfThickness &&
         centre <= std::max(left, right) + halfThickness;
}

int pixel16(int x, int y, int size) {
  if (!insideRoundedTile(x, y, size)) return kTransparent;
  if (onWave(x, y, size)) return kWhite;
  const int margin = size / 8;
  const int ruler = size - size / 4;
  const bool acrossRuler = x >= margin && x < size - margin;
  if (y == ruler && acrossRuler) return kYellow;
  const int tickSpacing = size >= 32 ? 6 : 4;
  if (y == ruler - 1 && acrossRuler && (x - margin) % tickSpacing == 0) return kYellow;
  return y < size / 2 ? kNavy : kTeal;
}

Image draw(int size, int bitsPerPixel) {
  Image image{size, bitsPerPixel, std::vector<int>(size * size)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int index = pixel16(x, y, size);
      if (bitsPerPixel == 1 && index != kTransparent) index = index == kWhite || index == kYellow;
      image.pixels[y * size + x] = index;
    }
  }
  return image;
}

void put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void put32(std::string& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}

int rowBytes(int size, int bitsPerPixel) {
  return ((size * bitsPerPixel + 31) / 32) * 4;
}

// A device-independent bitmap as an icon holds it: header, palette, colour rows and the
// transparency mask, both bottom row first.
std::string encode(const Image& image) {
  const int size = image.size;
  const int colourRow = rowBytes(size, image.bitsPerPixel);
  const int maskRow = rowBytes(size, 1);
  std::string out;
  put32(out, 40);
  put32(out, size);
  put32(out, size * 2);  // colour rows and mask rows
  put16(out, 1);
  put16(out, static_cast<std::uint16_t>(image.bitsPerPixel));
  put32(out, 0);
  put32(out, (colourRow + maskRow) * size);
  for (int i = 0; i < 4; ++i) put32(out, 0);
  const int colours = 1 << image.bitsPerPixel;
  for (int i = 0; i < colours; ++i) {
    const auto& bgr = image.bitsPerPixel == 1 ? kPalette2[i] : kPalette16[i];
    out.append(
        {static_cast<char>(bgr[0]), static_cast<char>(bgr[1]), static_cast<char>(bgr[2]), '\0'});
  }
  for (int y = size - 1; y >= 0; --y) {
    std::string row(colourRow, '\0');
    for (int x = 0; x < size; ++x) {
      const int index = std::max(0, image.pixels[y * size + x]);
      const int bit = x * image.bitsPerPixel;
      const int shift = 8 - image.bitsPerPixel - bit % 8;
      row[bit / 8] = static_cast<char>(row[bit / 8] | (index << shift));
    }
    out += row;
  }
  for (int y = size - 1; y >= 0; --y) {
    std::string row(maskRow, '\0');
    for (int x = 0; x < size; ++x) {
      if (image.pixels[y * size + x] == kTransparent) {
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
      }
    }
    out += row;
  }
  return out;
}

std::string iconFile(const std::vector<Image>& images) {
  std::string out;
  put16(out, 0);
  put16(out, 1);  // an icon, not a cursor
  put16(out, static_cast<std::uint16_t>(images.size()));
  std::vector<std::string> encoded;
  for (const Image& image : images) encoded.push_back(encode(image));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<char>(images[i].size));
    out.push_back(static_cast<char>(images[i].size));
    out.push_back(static_cast<char>(1 << images[i].bitsPerPixel));
    out.push_back('\0');
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(images[i].bitsPerPixel));
    put32(out, static_cast<std::uint32_t>(encoded[i].size()));
    put32(out, offset);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const std::string& image : encoded) out += image;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelorin-make-icon OUTPUT.ico\n");
    return 2;
  }
  const std::string bytes = iconFile({draw(32, 1), draw(32, 4), draw(16, 4)});
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) {
    std::fprintf(stderr, "pelorin-make-icon: error: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
