#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "probe/body_read.h"

namespace pelorin {

struct ChunkHeader;
struct WaveDetails;

/// Most bytes of an iXML chunk read: recorders write a few kibibytes, and one that claims more
/// must not make the reader take it all.
inline constexpr std::uint64_t kMaxIxmlBytes = 16 << 20;

/// One TRACK of an iXML TRACK_LIST.
struct IxmlTrack {
  std::optional<std::uint64_t> channelIndex;
  std::optional<std::uint64_t> interleaveIndex;
  std::optional<std::string> name;
  std::optional<std::string> function;
};

/// The FILE_SET of an iXML document.
struct IxmlFileSet {
  std::optional<std::uint64_t> totalFiles;
  std::optional<std::string> familyUid;
  std::optional<std::string> index;
};

/// What an iXML chunk says, each field null where its element is absent (a number also where
/// its text is not one). Texts are as written, UTF-8.
struct IxmlFields {
  std::int64_t offset = 0;  // of the chunk's header
  bool wellFormed = true;   // false: the fields are those read before the fault
  std::optional<std::string> version;
  std::optional<std::string> project;
  std::optional<std::string> scene;
  std::optional<std::string> take;
  std::optional<std::string> tape;
  std::optional<bool> circled;
  std::optional<std::string> note;
  std::optional<std::string> fileUid;
  std::optional<std::string> timecodeRate;
  std::optional<std::string> timecodeFlag;
  std::optional<std::uint64_t> timestampSamples;  // HI × 2³² + LO, samples since midnight
  std::optional<std::uint64_t> timestampSampleRate;
  std::optional<std::uint64_t> trackCount;       // TRACK_COUNT, not written out: the checks use it
  std::optional<std::vector<IxmlTrack>> tracks;  // null without a TRACK_LIST
  std::optional<IxmlFileSet> fileSet;
};

/// Decodes the iXML chunk `chunk` of the file `read` reads into `d.ixml`: its first
/// kMaxIxmlBytes (bounded by the file), without the NULs and white space that recorders pad it
/// with after the root element, parsed by expat as it is read. A document that is not
/// well-formed XML, or that has a DOCTYPE (refused: no entity is ever expanded), gets
/// ixml-not-well-formed; one cut at the cap or with a text cut at kMaxFieldTextBytes gets
/// body-not-read.
void readIxml(const BodyRead& read, const ChunkHeader& chunk, WaveDetails& d);

/// Checks a well-formed iXML document against the rest of the header: its timestamp against the
/// bext time reference, its track count against the channels, its timestamp's rate against the
/// sample rate. Call once the walk is done, since the chunks may come in any order.
void checkIxml(WaveDetails& d);

}  // namespace pelorin
