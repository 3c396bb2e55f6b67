// Writes the fuzzer's seed corpus: small WAV files of the layouts the probe must handle.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "wave_builder.h"

using pelorin::le32;
using pelorin::WaveBuilder;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelorin-fuzz-seeds FOLDER\n");
    return 2;
  }
  const std::vector<std::pair<std::string, std::string>> seeds = {
      {"canonical", pelorin::canonicalWave(64)},
      {"extensible", WaveBuilder().fmt(0xFFFE, 2, 48000, 24, 24).data(60).bytes()},
      {"list-first", WaveBuilder()
                         .chunk("LIST", "INFOICMT" + le32(8) + "metadata")
                         .fmt(1, 1, 8000, 8)
                         .data(32)
                         .bytes()},
      {"bext",
       WaveBuilder().chunk("bext", std::string(602, 'b')).fmt(1, 2, 44100, 16).data(16).bytes()},
      {"far-data",
       WaveBuilder().fmt(1, 1, 8000, 8).chunk("junk", std::string(5000, 'j')).data(8).bytes()},
      {"odd-chunk", WaveBuilder().fmt(1, 1, 8000, 8).chunk("note", "abc").data(8).bytes()},
      {"no-pad",
       WaveBuilder().fmt(1, 1, 8000, 8).chunkDeclaring("note", 3, "abc", false).data(8).bytes()},
      {"no-data", WaveBuilder().fmt(1, 1, 8000, 8).chunk("junk", std::string(40, 'j')).bytes()},
      {"truncated-data", WaveBuilder().fmt(1, 2, 44100, 16).dataDeclaring(0xFFFFFFFF, 32).bytes()},
      {"zero-rate", WaveBuilder().fmt(1, 0, 0, 0).data(16).bytes()},
      {"rifx",
       WaveBuilder().bigEndian().fmt(1, 1, 8000, 8).listInfo({{"INAM", "n"}}).data(16).bytes()},
      {"wave64", pelorin::wave64({{"fmt ", WaveBuilder().fmt(1, 1, 8000, 8).bytes().substr(20, 16)},
                                  {"list", "INFOINAM" + le32(1) + "n"},
                                  {"data", std::string(16, '\0')}})},
      {"rf64-table", WaveBuilder()
                         .riffId("RF64")
                         .chunk("ds64", pelorin::le64(0) + pelorin::le64(16) + pelorin::le64(0) +
                                            le32(1) + "axml" + pelorin::le64(5))
                         .fmt(1, 1, 8000, 8)
                         .chunkDeclaring("axml", 0xFFFFFFFF, "<a/>x")
                         .dataDeclaring(0xFFFFFFFF, 16)
                         .bytes()},
      {"pad-less", WaveBuilder()
                       .fmt(1, 2, 44100, 16)
                       .chunkDeclaring("note", 3, "abc", false)
                       .data(1000)
                       .listInfo({{"INAM", "odd"}, {"IART", "a"}})
                       .bytes()},
      {"short", "RIFF\x24\0\0\0WAVEfmt "},
      {"extensible-5.1", WaveBuilder().fmtExtensible(6, 48000, 32, 24, 0x3F).data(48).bytes()},
      {"fact", WaveBuilder()
                   .fmtFields(0x31, 1, 8000, 1625, 65, 0, pelorin::le16(2) + pelorin::le16(320))
                   .chunk("fact", le32(320))
                   .data(65)
                   .bytes()},
      {"rf64", WaveBuilder()
                   .riffId("RF64")
                   .riffSize(0xFFFFFFFF)
                   .ds64(100, 16, 0)
                   .fmt(1, 1, 8000, 8)
                   .dataDeclaring(0xFFFFFFFF, 16)
                   .listInfo({{"INAM", "n"}})
                   .bytes()},
      {"tags", WaveBuilder()
                   .listInfo({{"INAM", "Caf\xE9"}, {"ICMT", "c"}})
                   .bext({.description = "d", .version = 1})
                   .fmt(1, 1, 8000, 8)
                   .data(8)
                   .bytes()},
  };
  try {
    for (const auto& [name, bytes] : seeds)
      pelorin::writeFile(std::string(argv[1]) + "/" + name, bytes);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelorin-fuzz-seeds: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
