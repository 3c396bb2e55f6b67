// Draws Pelorin's application icon and writes it as one .ico file holding three images:
// 32 x 32 in two colours, 32 x 32 in 16 colours and 16 x 16 in 16 colours. For the desktop's
// icon theme it also writes the 16 x 16 and 32 x 32 images as PNG, and the same picture as SVG.
//
// The picture: a rounded tile with a sound wave that fades out to the right, above a time
// ruler; what the program is about, a sound and how long it lasts.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
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

void putBig32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

std::uint32_t crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::uint32_t adler32(const std::string& bytes) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char c : bytes) {
    a = (a + static_cast<std::uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void putPngChunk(std::string& out, const char* type, const std::string& data) {
  putBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = type + data;
  out += typed;
  putBig32(out, crc32(typed));
}

// A zlib stream of stored (uncompressed) blocks: the images are tiny, so no compressor is
// needed to keep the file small.
std::string zlibStored(const std::string& data) {
  std::string out("\x78\x01", 2);
  std::size_t at = 0;
  do {
    const std::size_t length = std::min<std::size_t>(data.size() - at, 65535);
    const bool last = at + length == data.size();
    out.push_back(last ? '\x01' : '\x00');
    put16(out, static_cast<std::uint16_t>(length));
    put16(out, static_cast<std::uint16_t>(~length));
    out.append(data, at, length);
    at += length;
  } while (at < data.size());
  putBig32(out, adler32(data));
  return out;
}

// The 16-colour image as an RGBA PNG, transparent outside the tile.
std::string pngFile(const Image& image) {
  std::string ihdr;
  putBig32(ihdr, static_cast<std::uint32_t>(image.size));
  putBig32(ihdr, static_cast<std::uint32_t>(image.size));
  ihdr.append({'\x08', '\x06', '\x00', '\x00', '\x00'});  // 8 bits, RGBA, no interlace
  std::string rows;
  for (int y = 0; y < image.size; ++y) {
    rows.push_back('\0');  // no filter
    for (int x = 0; x < image.size; ++x) {
      const int index = image.pixels[y * image.size + x];
      if (index == kTransparent) {
        rows.append(4, '\0');
        continue;
      }
      const auto& bgr = kPalette16[index];
      rows.append({static_cast<char>(bgr[2]), static_cast<char>(bgr[1]), static_cast<char>(bgr[0]),
                   '\xFF'});
    }
  }
  std::string out("\x89PNG\r\n\x1A\n", 8);
  putPngChunk(out, "IHDR", ihdr);
  putPngChunk(out, "IDAT", zlibStored(rows));
  putPngChunk(out, "IEND", "");
  return out;
}

std::string hexColour(Colour16 colour) {
  const auto& bgr = kPalette16[colour];
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", bgr[2], bgr[1], bgr[0]);
  return text;
}

// The same picture drawn with shapes on a 32-unit grid, for any size.
std::string svgFile() {
  constexpr double size = 32;
  constexpr double margin = size / 8;
  constexpr double width = size - 2 * margin;
  constexpr double ruler = size - size / 4 + 0.5;
  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
         "viewBox=\"0 0 32 32\">\n"
      << "  <clipPath id=\"tile\"><rect width=\"32\" height=\"32\" rx=\"" << size / 5
      << "\"/></clipPath>\n"
      << "  <g clip-path=\"url(#tile)\">\n"
      << "    <rect width=\"32\" height=\"16\" fill=\"" << hexColour(kNavy) << "\"/>\n"
      << "    <rect y=\"16\" width=\"32\" height=\"16\" fill=\"" << hexColour(kTeal) << "\"/>\n"
      << "  </g>\n"
      << "  <polyline fill=\"none\" stroke=\"" << hexColour(kWhite)
      << "\" stroke-width=\"1.8\" stroke-linejoin=\"round\" points=\"";
  for (int step = 0; step <= 96; ++step) {
    const double t = step / 96.0;
    svg << (step ? " " : "") << margin + width * t << "," << size * 0.42 - width * waveAt(t);
  }
  svg << "\"/>\n"
      << "  <path fill=\"none\" stroke=\"" << hexColour(kYellow) << "\" d=\"M" << margin << ","
      << ruler << "H" << size - margin;
  for (double x = margin + 0.5; x < size - margin; x += 6)
    svg << "M" << x << "," << ruler << "v-1.5";
  svg << "\"/>\n</svg>\n";
  return svg.str();
}

bool writeFile(const char* path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (file.flush()) return true;
  std::fprintf(stderr, "pelorin-make-icon: error: cannot write %s\n", path);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 5) {
    std::fprintf(stderr,
                 "usage: pelorin-make-icon OUTPUT.ico [16x16.png 32x32.png SCALABLE.svg]\n");
    return 2;
  }
  const Image small = draw(16, 4);
  const Image large = draw(32, 4);
  bool written = writeFile(argv[1], iconFile({draw(32, 1), large, small}));
  if (argc == 5) {
    written = writeFile(argv[2], pngFile(small)) && written;
    written = writeFile(argv[3], pngFile(large)) && written;
    written = writeFile(argv[4], svgFile()) && written;
  }
  return written ? 0 : 1;
}
