// The defaults file against what Vimbo does not control: a hostile or newer file, one it cannot
// read, a second writer, a second instance and a disk that refuses a write. Nothing the user had
// is destroyed silently, and nothing crashes.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <sstream>

#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/UserDefaults.h"

using namespace vimbo::platform;
namespace fs = std::filesystem;

namespace {

struct Folder {
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "vimbo-safety-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  fs::path file() const { return path / "defaults.json"; }
  // The files beside the defaults file whose names start with the prefix.
  std::vector<fs::path> named(const std::string& prefix) const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(path))
      if (e.path().filename().string().starts_with(prefix)) out.push_back(e.path());
    return out;
  }
  fs::path path;
};

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

DefaultsValue nestedArrays(int depth) {
  DefaultsValue v = std::int64_t{1};
  for (int i = 0; i < depth; ++i) v = DefaultsArray{std::move(v)};
  return v;
}

std::string nestedText(int depth, const std::string& open, const std::string& close) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += open;
  s += "1";
  for (int i = 0; i < depth; ++i) s += close;
  return s;
}

size_t occurrences(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

class DefaultsSafety : public ::testing::Test {
 protected:
  void SetUp() override { forgetReportsForTesting(); }
  Folder folder;
};

}  // namespace

TEST_F(DefaultsSafety, AValueNestedTensOfThousandsDeepIsDroppedAndTheRestLoads) {
  for (const auto& [open, close] : {std::pair<std::string, std::string>{"[", "]"}, {"{\"dictionary\":{\"k\":", "}}"}}) {
    const std::string bytes = R"({"format":1,"values":{"deep":)" + nestedText(30000, open, close) + R"(,"kept":2.5}})";
    write(folder.file(), bytes);
    ::testing::internal::CaptureStderr();
    auto d = UserDefaults::persistent(folder.file());
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(d->hasObject("deep"));
    EXPECT_EQ(d->number("kept"), 2.5);
    d->set("fresh", true);
    EXPECT_TRUE(d->flush());
    EXPECT_EQ(UserDefaults::persistent(folder.file())->number("kept"), 2.5);
    for (const auto& copy : folder.named("defaults.json.unreadable-")) {
      EXPECT_EQ(read(copy), bytes);
      fs::remove(copy);
    }
  }
}

TEST_F(DefaultsSafety, TheDepthLimitHoldsForReadingAndStoring) {
  const int limit = kMaxDefaultsDepth;
  write(folder.file(), R"({"format":1,"values":{"atLimit":)" + nestedText(limit, "[", "]") + R"(,"beyond":)" +
                           nestedText(limit + 1, "[", "]") + "}}");
  ::testing::internal::CaptureStderr();
  auto d = UserDefaults::persistent(folder.file());
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(d->object("atLimit"), nestedArrays(limit));
  EXPECT_FALSE(d->hasObject("beyond"));

  auto memory = UserDefaults::inMemory();
  EXPECT_TRUE(memory->set("ok", nestedArrays(limit)));
  EXPECT_FALSE(memory->set("deep", nestedArrays(limit + 1)));
  EXPECT_FALSE(memory->hasObject("deep"));
  EXPECT_FALSE(memory->set("ok", DefaultsDictionary{{"k", nestedArrays(limit)}}));
  EXPECT_EQ(memory->object("ok"), nestedArrays(limit));
}

struct PartlyReadable {
  const char* what;
  std::string bytes;
  std::vector<std::string> loaded;
};

class PartlyReadableFile : public DefaultsSafety, public ::testing::WithParamInterface<PartlyReadable> {};

TEST_P(PartlyReadableFile, IsCopiedAsideByteForByteBeforeAnyWriteAndWhatLoadedIsUsed) {
  const auto& c = GetParam();
  write(folder.file(), c.bytes);
  ::testing::internal::CaptureStderr();
  auto d = UserDefaults::persistent(folder.file());
  const std::string said = ::testing::internal::GetCapturedStderr();
  auto copies = folder.named("defaults.json.unreadable-");
  ASSERT_EQ(copies.size(), 1u) << c.what;
  EXPECT_EQ(read(copies[0]), c.bytes);
  EXPECT_NE(said.find(copies[0].string()), std::string::npos) << said;
  std::vector<std::string> keys;
  for (const auto& [k, v] : d->dictionaryRepresentation()) keys.push_back(k);
  EXPECT_EQ(keys, c.loaded);

  d->set("later", 1);
  EXPECT_EQ(read(copies[0]), c.bytes);
  EXPECT_EQ(folder.named("defaults.json.unreadable-").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PartlyReadableFile,
    ::testing::Values(
        PartlyReadable{"unknown tag", R"({"format":1,"values":{"a":1,"b":{"date":"2024"}}})", {"a"}},
        PartlyReadable{"bad data", R"({"format":1,"values":{"a":1,"b":[{"data":"***"}]}})", {"a"}},
        PartlyReadable{"integer past 64 bits", R"({"format":1,"values":{"a":1,"b":18446744073709551616}})", {"a"}},
        PartlyReadable{"negative past 64 bits", R"({"format":1,"values":{"a":1,"b":[-99999999999999999999]}})", {"a"}},
        PartlyReadable{"newer format", R"({"format":2,"values":{"a":1,"b":true}})", {"a", "b"}},
        PartlyReadable{"no format", R"({"values":{"a":1}})", {"a"}}));

TEST_F(DefaultsSafety, ACompleteFileIsNotCopied) {
  write(folder.file(), R"({"format":1,"values":{"a":1,"d":1.0,"big":9223372036854775807,"x":{"double":"nan"}}})");
  auto d = UserDefaults::persistent(folder.file());
  EXPECT_EQ(d->integer("big"), INT64_MAX);
  EXPECT_TRUE(std::holds_alternative<double>(*d->object("d")));
  EXPECT_TRUE(folder.named("defaults.json.").empty());
}

TEST_F(DefaultsSafety, ACopyAsideThatFailsIsTriedAgainBeforeTheFirstWrite) {
  const std::string bytes = R"({"format":3,"values":{"a":1}})";
  write(folder.file(), bytes);
  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::copyAside, EROFS);
  auto d = UserDefaults::persistent(folder.file());
  EXPECT_TRUE(folder.named("defaults.json.unreadable-").empty());

  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::copyAside, EROFS);
  ::testing::internal::CaptureStderr();
  d->set("b", 2);  // written through at once, and refused
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Read-only file system"), std::string::npos);
  EXPECT_EQ(read(folder.file()), bytes);  // not replaced while no copy exists
  ASSERT_TRUE(d->lastWriteError());

  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(d->flush());
  ::testing::internal::GetCapturedStderr();
  auto copies = folder.named("defaults.json.unreadable-");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(read(copies[0]), bytes);
  EXPECT_EQ(UserDefaults::persistent(folder.file())->integer("b"), 2);
}

TEST_F(DefaultsSafety, AFileThatCannotBeReadStaysWhereItIsAndNoWriteReplacesIt) {
  // A folder where the file should be (reading it fails), and a file whose read is refused.
  fs::create_directory(folder.file());
  ::testing::internal::CaptureStderr();
  auto d = UserDefaults::persistent(folder.file());
  EXPECT_TRUE(d->dictionaryRepresentation().empty());
  d->set("a", 1);
  EXPECT_FALSE(d->flush());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fs::is_directory(folder.file()));
  EXPECT_TRUE(folder.named("defaults.json.corrupt").empty());
  EXPECT_EQ(occurrences(said, "无法读取"), 1u) << said;
  EXPECT_EQ(d->integer("a"), 1);  // the domain works in memory
  fs::remove(folder.file());

  const std::string bytes = R"({"format":1,"values":{"mine":"keep me"}})";
  write(folder.file(), bytes);
  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::read, EACCES);
  ::testing::internal::CaptureStderr();
  d = UserDefaults::persistent(folder.file());
  EXPECT_FALSE(d->hasObject("mine"));
  d->set("a", 1);
  EXPECT_FALSE(d->flush());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Permission denied"), std::string::npos);
  ASSERT_TRUE(d->lastWriteError());
  EXPECT_NE(d->lastWriteError()->find("Permission denied"), std::string::npos);
  EXPECT_EQ(read(folder.file()), bytes);
  EXPECT_EQ(folder.named("defaults.json").size(), 1u);
}

TEST_F(DefaultsSafety, AFailedWriteIsReportedOnceKeptPendingAndRetried) {
  std::deque<std::function<void()>> turn;
  auto d = UserDefaults::persistent(folder.file(), [&](std::function<void()> f) { turn.push_back(std::move(f)); });
  auto endTurn = [&] {
    auto pending = std::move(turn);
    turn.clear();
    for (auto& f : pending) f();
  };
  ::testing::internal::CaptureStderr();
  for (int attempt = 0; attempt < 3; ++attempt) {
    UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::createTemporary, EDQUOT);
    d->set("value", attempt);
    endTurn();
    ASSERT_TRUE(d->lastWriteError());
  }
  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::rename, EIO);
  EXPECT_FALSE(d->flush());  // quit's final write
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(occurrences(said, "Disk quota exceeded"), 1u) << said;
  EXPECT_EQ(occurrences(said, "Input/output error"), 1u) << said;
  EXPECT_FALSE(fs::exists(folder.file()));
  EXPECT_EQ(folder.named("defaults.json.tmp").size(), 0u);  // no temp file is left behind

  d->set("other", true);  // the next change retries everything still pending
  endTurn();
  EXPECT_FALSE(d->lastWriteError());
  auto reread = UserDefaults::persistent(folder.file());
  EXPECT_EQ(reread->integer("value"), 2);
  EXPECT_EQ(reread->boolean("other"), true);
}

TEST_F(DefaultsSafety, TwoWritingProcessesNeverPublishAnEmptyOrTornFile) {
  constexpr int kWrites = 300;
  const fs::path file = folder.file();
  // Whether the published file, if any, is one writer's whole file.
  auto publishedIsWhole = [&] {
    std::ifstream in(file, std::ios::binary);
    if (!in) return true;
    std::stringstream s;
    s << in.rdbuf();
    auto contents = UserDefaults::parseFile(s.str());
    return contents.parsed && contents.complete;
  };
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  // Each writer also looks at what is published after each of its writes.
  auto writer = [&](const std::string& name) {
    char start;
    if (::read(go[0], &start, 1) != 1) std::_Exit(4);
    auto d = UserDefaults::persistent(file);
    int torn = 0;
    for (int i = 0; i < kWrites; ++i) {
      d->set(name, i);
      d->set(name + ".blob", Data(size_t(4096 * (1 + (i * 7) % 23)), std::uint8_t(i)));
      torn += publishedIsWhole() ? 0 : 1;
    }
    std::_Exit(d->lastWriteError() ? 2 : torn > 0 ? 3 : 0);
  };
  std::vector<pid_t> children;
  for (const char* name : {"first", "second"}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) writer(name);
    children.push_back(pid);
  }
  ASSERT_EQ(::write(go[1], "go", 2), 2);
  int reads = 0, torn = 0;
  for (int running = 2; running > 0;) {
    running = 0;
    for (pid_t pid : children) {
      siginfo_t info{};
      running += waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0 ? 1 : 0;
    }
    ++reads;
    torn += publishedIsWhole() ? 0 : 1;
  }
  for (pid_t pid : children) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer saw a torn file or failed: " << status;
  }
  ::close(go[0]);
  ::close(go[1]);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  auto final = UserDefaults::parseFile(read(file));
  ASSERT_TRUE(final.parsed && final.complete);
  EXPECT_TRUE(folder.named("defaults.json.tmp").empty());
}

TEST_F(DefaultsSafety, OneProcessHoldsTheFolderAtATime) {
  auto first = FolderLock::acquire(folder.path / "vimbo");
  ASSERT_TRUE(first.lock) << first.error;
  EXPECT_TRUE(fs::exists(folder.path / "vimbo" / FolderLock::fileName));

  auto second = FolderLock::acquire(folder.path / "vimbo");
  EXPECT_FALSE(second.lock);
  EXPECT_TRUE(second.heldElsewhere);

  auto claimInChild = [&] {
    pid_t pid = fork();
    if (pid == 0) {
      auto claim = FolderLock::acquire(folder.path / "vimbo");
      std::_Exit(claim.lock ? 0 : claim.heldElsewhere ? 1 : 2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(claimInChild(), 1);
  first.lock.reset();
  EXPECT_EQ(claimInChild(), 0);
  EXPECT_TRUE(FolderLock::acquire(folder.path / "vimbo").lock);
}

TEST_F(DefaultsSafety, TheFolderHolderRemovesOnlyThisFilesTempFilesOfCutWrites) {
  for (const char* name : {"defaults.json.tmp-a1B2c3", "defaults.json.tmp-ZZZZZZ", "defaults.json.tmp-short",
                           "defaults.json.tmp-abc.de", "other.json.tmp-abcdef"})
    write(folder.path / name, "{");
  auto claim = FolderLock::acquire(folder.path);
  ASSERT_TRUE(claim.lock) << claim.error;
  EXPECT_EQ(UserDefaults::removeStaleTemporaries(folder.file(), *claim.lock), 2);
  EXPECT_EQ(folder.named("defaults.json.tmp-").size(), 2u);
  EXPECT_EQ(folder.named("other.json.tmp-").size(), 1u);
}

// A folder that cannot be made: the lock says so, not that its file is missing. Root writes
// anywhere, so the claim is made as nobody then.
TEST_F(DefaultsSafety, ALockWhoseFolderCannotBeMadeSaysWhy) {
  fs::permissions(folder.path, fs::perms(0755));
  fs::create_directory(folder.path / "closed");
  fs::permissions(folder.path / "closed", fs::perms(0555));
  pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(2);
    auto claim = FolderLock::acquire(folder.path / "closed" / "vimbo");
    std::fprintf(stderr, "%s\n", claim.error.c_str());
    std::_Exit(!claim.lock && claim.error.find("Permission denied") != std::string::npos ? 0 : 1);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(DefaultsSafety, EachFileSetAsideAndEachDistinctWriteFailureReachesTheUserOnce) {
  std::vector<std::string> shown;
  setUserReportHandler([&](const std::string& report) { shown.push_back(report); });
  ::testing::internal::CaptureStderr();
  write(folder.file(), "{not json");
  UserDefaults::persistent(folder.file());
  write(folder.file(), R"({"format":9,"values":{}})");
  auto d = UserDefaults::persistent(folder.file());
  int value = 0;
  for (int error : {EDQUOT, EDQUOT, EIO, EDQUOT}) {
    UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::createTemporary, error);
    d->set("value", ++value);
  }
  ::testing::internal::GetCapturedStderr();
  setUserReportHandler({});
  const auto corrupt = folder.named("defaults.json.corrupt-"), unreadable = folder.named("defaults.json.unreadable-");
  ASSERT_EQ(shown.size(), 4u);
  ASSERT_EQ(corrupt.size() + unreadable.size(), 2u);
  for (const auto& [report, mentions] : std::vector<std::pair<std::string, std::string>>{
           {shown[0], corrupt[0].string()}, {shown[1], unreadable[0].string()}, {shown[2], "Disk quota exceeded"},
           {shown[3], "Input/output error"}}) {
    EXPECT_NE(report.find(folder.file().string()), std::string::npos) << report;
    EXPECT_NE(report.find(mentions), std::string::npos) << report;
  }
}
