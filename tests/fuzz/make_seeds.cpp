// Writes the fuzzer's seed corpus: small WAV files of the layouts the probe must handle.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "wave_builder.h"

using pelorin::le32;
using pelorin::WaveBuilder;

namespace {

// A file that holds every chunk the details decode: markers with a label, note and region, a
// sampler loop, an instrument, an acid chunk, a version 2 bext with a coding history, ADM
// tracks and XML, a cart, peaks, an ID3 tag in UTF-16 and XMP.
std::string everyChunk() {
  std::string bext(602, '\0');
  bext[346] = 2;
  bext[348] = 6;
  bext += "A=PCM,F=8000\r\n";
  const std::string title = std::string("\x01\xFF\xFEO\0k\0", 7);
  const std::string id3 = std::string("ID3\x03\0\0\0\0\0\x1B", 10) + "TIT2" + std::string(3, '\0') +
                          "\x07" + std::string(2, '\0') + title + "COMM" + std::string(6, '\0');
  std::string cart(2048, '\0');
  cart.replace(0, 4, "0101");
  cart.replace(684, 8, "SEC1" + le32(100));
  return WaveBuilder()
      .fmt(1, 1, 8000, 8)
      .chunk("cue ", le32(2) + le32(1) + le32(0) + "data" + le32(0) + le32(0) + le32(0) + le32(2) +
                         le32(4) + "data" + le32(0) + le32(0) + le32(4))
      .chunk("LIST", "adtllabl" + le32(10) + le32(1) + "Verse" + std::string(1, '\0') + "note" + le32(4) +
                         le32(1) + "ltxt" + le32(24) + le32(2) + le32(4) + "rgn " +
                         std::string(8, '\0') + "text")
      .chunk("smpl", std::string(28, '\0') + le32(1) + le32(0) + le32(1) + le32(0) + le32(2) +
                         le32(6) + le32(0) + le32(0))
      .chunk("inst", std::string("\x3C\xF6\x03\x00\x7F\x01\x7F", 7))
      .chunk("acid", le32(3) + std::string(20, '\0'))
      .chunk("bext", bext)
      .chunk("chna", std::string("\x01\x00\x01\x00\x01\x00", 6) + std::string(38, 'a'))
      .chunk("axml", "<a/>")
      .chunk("cart", cart)
      .chunk("PEAK", le32(1) + le32(0) + le32(0x3F000000) + le32(3))
      .chunk("id3 ", id3)
      .chunk("_PMX", "<x/>")
      .listInfo({{"INAM", "n"}})
      .data(8)
      .bytes();
}

}  // namespace

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
      // iXML of two tracks whose timestamp is the bext's, padded as recorders pad it, and the
      // data's MD5 as an "MD5 " chunk stores it (4ae71336... reversed); a DOCTYPE, refused.
      {"ixml-md5",
       WaveBuilder()
           .fmt(1, 2, 48000, 16)
           .bext({.timeReference = 48000, .version = 1})
           .chunk("iXML", std::string("<BWFXML><SPEED><TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>0"
                                      "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>"
                                      "<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>48000"
                                      "</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>"
                                      "<TIMESTAMP_SAMPLE_RATE>48000</TIMESTAMP_SAMPLE_RATE>"
                                      "</SPEED><TRACK_LIST><TRACK><NAME>L</NAME></TRACK>"
                                      "<TRACK><NAME>R</NAME></TRACK></TRACK_LIST></BWFXML>"
                                      "\n\0\0",
                                      271))
           .chunk("MD5 ",
                  "\xA5\x18\x48\x23\x2E\x75\xD2\x79\xBF\xF9\x4B\xE4"
                  "\x36\x13\xE7\x4A")
           .data(16)
           .bytes()},
      {"ixml-doctype",
       WaveBuilder()
           .fmt(1, 1, 8000, 8)
           .chunk("iXML", "<!DOCTYPE BWFXML [<!ENTITY e \"x\">]><BWFXML><NOTE>&e;</NOTE></BWFXML>")
           .data(8)
           .bytes()},
      {"tags", WaveBuilder()
                   .listInfo({{"INAM", "Caf\xE9"}, {"ICMT", "c"}})
                   .bext({.description = "d", .version = 1})
                   .fmt(1, 1, 8000, 8)
                   .data(8)
                   .bytes()},
      {"every-chunk", everyChunk()},
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
