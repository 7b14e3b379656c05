// libFuzzer target for the loader, through the file system kept in memory: any content, reads that
// come back in any size, a reported size that disagrees with the content (a file changing
// while it is read) and a read that fails part-way. A successful load is saved back and both
// files are checked; a load that got only part of the file must not be saved over it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/memory_file_api.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const PathString kFile = L"d/audio_cfg.db";

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  MemoryFileApi files;
  files.chunk = 1 + data[0] * 37u;
  files.size_error = static_cast<std::int8_t>(data[1]) * 61;
  files.fail_at = data[2] % 8;
  // Repeating the content reaches record-sized files from short inputs.
  Bytes content;
  for (int copy = 0; copy <= data[3] % 4; ++copy) content.insert(content.end(), data + 4, data + size);
  files.Put(kFile, content);

  AudioConfigRecord record;
  const Bytes before(kRecordSize, 0xEE);
  record.AssignFileBytes(before);
  try {
    Load(record, files, kFile);
  } catch (const EInOutError&) {
    Check(record.FileBytes() == before);
    return 0;
  }
  // What was loaded is a prefix of the file: all of it, or as much as the reported size said.
  const Bytes& loaded = record.FileBytes();
  Check(loaded.size() >= kRecordSize && loaded.size() <= content.size());
  Check(std::equal(loaded.begin(), loaded.end(), content.begin()));
  Check(files.size_error < 0 || loaded.size() == content.size());
  // The odd sizes and the failure belong to the loading.
  files.fail_at = 0;
  files.chunk = SIZE_MAX;
  files.size_error = 0;

  const Bytes image = loaded;
  const VolumeLevels levels{data[0], data[1], data[2], data[3]};
  if (image != content) {
    // Only part of the file was loaded: saving it would lose the rest, so it is refused.
    try {
      Save(record, files, kFile, levels);
      Check(false);
    } catch (const EInOutError& error) {
      Check(error.Code() == kInOutFileChanged);
    }
    Check(files.Bytes(kFile) == content && files.Names().size() == 1 && record.FileBytes() == image);
    return 0;
  }
  Save(record, files, kFile, levels);
  Bytes expected = image;
  for (std::size_t slot = 0; slot < 4; ++slot) expected[kLevelOffsets[slot]] = data[slot];
  Check(files.Bytes(kFile + L".bak") == image);
  Check(files.Bytes(kFile) == expected);
  Check(record.FileBytes() == expected);
  Check(files.Names().size() == 2);
  return 0;
}
