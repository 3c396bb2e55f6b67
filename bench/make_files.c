/* Writes small canonical WAV files for the benchmarks: COUNT files in FOLDER, or with FOLDERS
 * given, FOLDERS subfolders of COUNT files each. One second of 8-bit mono at 1000 samples per
 * second after a 44-byte header. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static void le16(unsigned char *p, uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
static void le32(unsigned char *p, uint32_t v) { le16(p, v & 0xFFFF); le16(p + 2, v >> 16); }

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: make_files FOLDER COUNT [FOLDERS]\n");
    return 2;
  }
  const long count = atol(argv[2]);
  const long folders = argc > 3 ? atol(argv[3]) : 0;
  unsigned char wave[44 + 1000];
  memset(wave, 0x80, sizeof wave);
  memcpy(wave, "RIFF", 4);
  le32(wave + 4, sizeof wave - 8);
  memcpy(wave + 8, "WAVEfmt ", 8);
  le32(wave + 16, 16);
  le16(wave + 20, 1);
  le16(wave + 22, 1);
  le32(wave + 24, 1000);
  le32(wave + 28, 1000);
  le16(wave + 32, 1);
  le16(wave + 34, 8);
  memcpy(wave + 36, "data", 4);
  le32(wave + 40, 1000);
  char path[4096];
  for (long f = 0; f < (folders ? folders : 1); ++f) {
    if (folders) {
      snprintf(path, sizeof path, "%s/d%03ld", argv[1], f);
      mkdir(path, 0755);
    }
    for (long i = 0; i < count; ++i) {
      if (folders) snprintf(path, sizeof path, "%s/d%03ld/f%05ld.wav", argv[1], f, i);
      else snprintf(path, sizeof path, "%s/f%05ld.wav", argv[1], i);
      FILE *file = fopen(path, "wb");
      if (!file || fwrite(wave, sizeof wave, 1, file) != 1 || fclose(file) != 0) {
        perror(path);
        return 1;
      }
    }
  }
  return 0;
}
