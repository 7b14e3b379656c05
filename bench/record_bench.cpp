// Load and Save beside the bare system calls they are built on, in one binary, so the
// overhead of the checks and the clean-up machinery shows as a ratio. Save makes its backup a
// second name of the old file where it can; BM_SaveCopyingBackup writes it as the floor does. Run on the disk
// that TMPDIR names (a real fsync) and on /dev/shm (where the calls themselves dominate).
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "record/record_io.h"
#include "tests/copying_file_api.h"

namespace {

namespace fs = std::filesystem;

class Scene {
 public:
  explicit Scene(const fs::path& root) {
    dir_ = root / ("velmora-bench-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    folder_ = dir_.string();
    file_ = (dir_ / "audio_cfg.db").string();
    const std::vector<std::uint8_t> bytes(kRecordSize, 3);
    const int fd = open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
    close(fd);
  }
  ~Scene() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  const std::string& Folder() const { return folder_; }
  const std::string& File() const { return file_; }

 private:
  fs::path dir_;
  std::string folder_;
  std::string file_;
};

fs::path Root(int which) {
  if (which == 1) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr ? tmp : "/tmp";
}

void RawReplace(const std::string& folder, const std::string& target, const std::uint8_t* bytes) {
  const std::string temporary = folder + "/.raw.tmp";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (write(fd, bytes, kRecordSize) != static_cast<ssize_t>(kRecordSize)) std::abort();
  fsync(fd);
  close(fd);
  rename(temporary.c_str(), target.c_str());
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  fsync(dir);
  close(dir);
}

void BM_RawLoad(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  std::vector<std::uint8_t> buffer(kRecordSize);
  for (auto _ : state) {
    const int fd = open(scene.File().c_str(), O_RDONLY | O_CLOEXEC);
    if (read(fd, buffer.data(), buffer.size()) != static_cast<ssize_t>(kRecordSize)) std::abort();
    close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
}

// What any whole-file reader needs: the size, to refuse short files and size the buffer.
void BM_RawLoadSized(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  std::vector<std::uint8_t> buffer(kRecordSize);
  for (auto _ : state) {
    const int fd = open(scene.File().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    fstat(fd, &st);
    if (read(fd, buffer.data(), st.st_size) != static_cast<ssize_t>(kRecordSize)) std::abort();
    close(fd);
    benchmark::DoNotOptimize(buffer.data());
  }
}

void BM_Load(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  AudioConfigRecord record;
  for (auto _ : state) {
    Load(record, DefaultFileApi(), scene.File());
    benchmark::DoNotOptimize(record.Data());
  }
}

void BM_RawSave(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  const std::string backup = scene.File() + ".bak";
  std::vector<std::uint8_t> bytes(kRecordSize, 3);
  for (auto _ : state) {
    RawReplace(scene.Folder(), backup, bytes.data());
    RawReplace(scene.Folder(), scene.File(), bytes.data());
  }
}

void BM_Save(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  AudioConfigRecord record;
  Load(record, DefaultFileApi(), scene.File());
  for (auto _ : state) Save(record, DefaultFileApi(), scene.File(), {3, 3, 3, 3});
}

void BM_SaveCopyingBackup(benchmark::State& state) {
  const Scene scene(Root(state.range(0)));
  AudioConfigRecord record;
  CopyingFileApi files;
  Load(record, files, scene.File());
  for (auto _ : state) Save(record, files, scene.File(), {3, 3, 3, 3});
}

// Argument 0: the TMPDIR disk; 1: /dev/shm.
BENCHMARK(BM_RawLoad)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_RawLoadSized)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_Load)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_RawSave)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_Save)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SaveCopyingBackup)->Arg(0)->Arg(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
