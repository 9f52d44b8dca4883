#include "Platform/Foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <limits>
#include <locale>
#include <sstream>

using namespace vimbo::platform;
namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vimbo-defaults-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

// A main loop stand-in: callbacks run when the test says the turn ends.
struct FakeScheduler {
  std::deque<std::function<void()>> queue;
  UserDefaults::Scheduler get() {
    return [this](std::function<void()> f) { queue.push_back(std::move(f)); };
  }
  void runTurn() {
    auto pending = std::move(queue);
    queue.clear();
    for (auto& f : pending) f();
  }
};

}  // namespace

TEST(UserDefaultsTyping, TypedReadsAndBridging) {
  auto d = UserDefaults::inMemory();
  d->set("flag", true);
  d->set("zero", std::int64_t{0});
  d->set("two", 2);
  d->set("one", 1.0);
  d->set("half", 0.5);
  d->set("name", "Café");
  d->set("blob", Data{1, 2, 3});

  // A Boolean reads as a number, and 0/1 numbers read as Booleans; nothing else does.
  EXPECT_EQ(d->number("flag"), 1.0);
  EXPECT_EQ(d->integer("flag"), 1);
  EXPECT_EQ(d->boolean("zero"), false);
  EXPECT_EQ(d->boolean("one"), true);
  EXPECT_EQ(d->boolean("two"), std::nullopt);
  EXPECT_EQ(d->boolean("half"), std::nullopt);
  EXPECT_EQ(d->integer("half"), std::nullopt);
  EXPECT_EQ(d->integer("one"), 1);
  EXPECT_EQ(d->number("two"), 2.0);

  // Strict reads: a string is never a number and a number never a string.
  EXPECT_EQ(d->string("name"), "Café");
  EXPECT_EQ(d->number("name"), std::nullopt);
  EXPECT_EQ(d->boolean("name"), std::nullopt);
  EXPECT_EQ(d->string("two"), std::nullopt);
  EXPECT_EQ(d->data("name"), std::nullopt);
  EXPECT_EQ(d->data("blob"), (Data{1, 2, 3}));
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(*d->object("two")));
  EXPECT_TRUE(std::holds_alternative<double>(*d->object("one")));
}

TEST(UserDefaultsTyping, MissingIsNotMistyped) {
  auto d = UserDefaults::inMemory();
  d->set("delay", "0.2");
  EXPECT_TRUE(d->hasObject("delay"));
  EXPECT_EQ(d->number("delay"), std::nullopt);
  EXPECT_FALSE(d->hasObject("absent"));
  EXPECT_EQ(d->object("absent"), std::nullopt);

  d->set("pinned", DefaultsArray{"a", "b"});
  EXPECT_EQ(d->stringArray("pinned"), (std::vector<std::string>{"a", "b"}));
  d->set("pinned", DefaultsArray{"a", 3});
  EXPECT_EQ(d->stringArray("pinned"), std::nullopt);
  EXPECT_TRUE(d->array("pinned").has_value());
  EXPECT_EQ(d->stringArray("delay"), std::nullopt);

  d->set("glyphs", DefaultsDictionary{{"k", Data{9}}});
  EXPECT_EQ(d->dictionary("glyphs")->at("k"), DefaultsValue(Data{9}));
  EXPECT_EQ(d->dictionary("delay"), std::nullopt);

  d->removeObject("delay");
  EXPECT_FALSE(d->hasObject("delay"));
  EXPECT_EQ(d->dictionaryRepresentation().size(), 2u);
}

TEST(UserDefaultsPersistence, RoundTripKeepsEveryType) {
  TempDir dir;
  const auto file = dir.path() / "sub" / "defaults.json";
  DefaultsDictionary nested{{"png", Data{0, 255, 128}}, {"n", 1.0}, {"list", DefaultsArray{true, "x"}}};
  {
    auto d = UserDefaults::persistent(file);
    d->set("bool", true);
    d->set("int", std::int64_t{-9007199254740993});
    d->set("double", 1.0);
    d->set("tiny", 5e-324);
    d->set("inf", std::numeric_limits<double>::infinity());
    d->set("string", "系统项目 \"quoted\" \\ /");
    d->set("empty", Data{});
    d->set("dict", nested);
    d->set("arr", DefaultsArray{1, 2.5, false});
  }
  auto d = UserDefaults::persistent(file);
  EXPECT_EQ(d->object("bool"), DefaultsValue(true));
  EXPECT_EQ(d->object("int"), DefaultsValue(std::int64_t{-9007199254740993}));
  EXPECT_EQ(d->object("double"), DefaultsValue(1.0));
  EXPECT_EQ(d->object("tiny"), DefaultsValue(5e-324));
  EXPECT_EQ(d->number("inf"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(d->string("string"), "系统项目 \"quoted\" \\ /");
  EXPECT_EQ(d->data("empty"), Data{});
  EXPECT_EQ(d->dictionary("dict"), nested);
  EXPECT_EQ(d->object("arr"), DefaultsValue(DefaultsArray{1, 2.5, false}));
  EXPECT_EQ(d->dictionaryRepresentation().size(), 9u);
}

TEST(UserDefaultsPersistence, DefaultPathFollowsXdg) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(UserDefaults::defaultFilePath(), fs::path("/tmp/xdg-test/vimbo/defaults.json"));
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(UserDefaults::defaultFilePath().filename(), "defaults.json");
  EXPECT_EQ(UserDefaults::defaultFilePath().parent_path().parent_path().filename(), ".config");
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

TEST(UserDefaultsPersistence, WritesCoalescePerTurnAndFlush) {
  TempDir dir;
  const auto file = dir.path() / "defaults.json";
  FakeScheduler loop;
  auto d = UserDefaults::persistent(file, loop.get());
  for (int i = 0; i <= 40; ++i) d->set("slider", i * 0.01);
  EXPECT_EQ(d->number("slider"), 0.4);  // reads are immediate
  EXPECT_EQ(loop.queue.size(), 1u);
  EXPECT_FALSE(fs::exists(file));
  loop.runTurn();
  EXPECT_EQ(d->fileWriteCount(), 1u);
  EXPECT_EQ(UserDefaults::persistent(file)->number("slider"), 0.4);

  // An unchanged value schedules nothing; flush writes without waiting for the turn.
  d->set("slider", 0.4);
  EXPECT_TRUE(loop.queue.empty());
  d->set("other", true);
  EXPECT_TRUE(d->flush());
  EXPECT_EQ(d->fileWriteCount(), 2u);
  loop.runTurn();
  EXPECT_EQ(d->fileWriteCount(), 2u);

  // A turn that outlives the domain does nothing.
  d->set("late", 1);
  d.reset();
  EXPECT_NO_FATAL_FAILURE(loop.runTurn());
  EXPECT_EQ(UserDefaults::persistent(file)->integer("late"), 1);
}

TEST(UserDefaultsPersistence, FailedWriteKeepsOldFileWholeAndStaysPending) {
  TempDir dir;
  const auto file = dir.path() / "defaults.json";
  auto d = UserDefaults::persistent(file);
  d->set("a", 1);
  const std::string before = readFile(file);

  // The temp file cannot be created: the old file stays as it was.
  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::createTemporary, ENOSPC);
  ::testing::internal::CaptureStderr();
  d->set("a", 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("No space left on device"), std::string::npos);
  EXPECT_EQ(readFile(file), before);
  UserDefaults::failFileOperationForTesting(UserDefaults::FileOperation::rename, EXDEV);
  EXPECT_FALSE(d->flush());
  EXPECT_EQ(readFile(file), before);
  EXPECT_EQ(UserDefaults::persistent(file)->integer("a"), 1);

  EXPECT_TRUE(d->flush());
  EXPECT_EQ(UserDefaults::persistent(file)->integer("a"), 2);

  // A temp file torn by a crash mid-write never replaces the real one.
  writeFile(file.string() + ".tmp", "{\"format\":1,\"values\":{\"a\":");
  EXPECT_EQ(UserDefaults::persistent(file)->integer("a"), 2);
}

TEST(UserDefaultsPersistence, CorruptFileIsKeptAsideAndDomainStartsEmpty) {
  for (std::string junk : {std::string("{\"values\": {\"a\": 1"), std::string(""), std::string("[1,2]"),
                           std::string("\xff\xfe garbage")}) {
    TempDir dir;
    const auto file = dir.path() / "defaults.json";
    writeFile(file, junk);
    auto d = UserDefaults::persistent(file);
    EXPECT_TRUE(d->dictionaryRepresentation().empty());
    std::vector<fs::path> aside;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.path().filename().string().rfind("defaults.json.corrupt-", 0) == 0) aside.push_back(e.path());
    ASSERT_EQ(aside.size(), 1u) << junk;
    EXPECT_EQ(readFile(aside[0]), junk);
    d->set("fresh", true);
    EXPECT_EQ(UserDefaults::persistent(file)->boolean("fresh"), true);
  }
}

TEST(UserDefaultsPersistence, UnreadableValueIsDroppedAlone) {
  TempDir dir;
  const auto file = dir.path() / "defaults.json";
  writeFile(file, R"({"format":1,"values":{"ok":1.5,"bad":{"data":"***"},"odd":{"unknown":1}}})");
  auto d = UserDefaults::persistent(file);
  EXPECT_EQ(d->number("ok"), 1.5);
  EXPECT_FALSE(d->hasObject("bad"));
  EXPECT_FALSE(d->hasObject("odd"));
}

TEST(UserDefaultsPersistence, NumbersIgnoreTheProcessLocale) {
  TempDir dir;
  const auto file = dir.path() / "defaults.json";
  const std::locale savedGlobal;
  std::string savedC = std::setlocale(LC_ALL, nullptr);
  // A comma-decimal locale when the machine has one; the C++ global locale is changed regardless.
  bool comma = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
    if (std::setlocale(LC_ALL, name)) {
      comma = true;
      break;
    }
  }
  struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  {
    auto d = UserDefaults::persistent(file);
    d->set("delay", 0.05);
  }
  const std::string text = readFile(file);
  EXPECT_NE(text.find("0.05"), std::string::npos);
  EXPECT_EQ(text.find("0,05"), std::string::npos);
  EXPECT_EQ(UserDefaults::persistent(file)->number("delay"), 0.05);
  std::locale::global(savedGlobal);
  std::setlocale(LC_ALL, savedC.c_str());
  if (!comma) GTEST_LOG_(INFO) << "no comma-decimal C locale installed; checked the C++ global locale only";
}

// The C library's decimal comma, as Qt's start sets it from LANG=de_DE.UTF-8: built into a
// temporary folder, since machines rarely have one installed.
TEST(UserDefaultsPersistence, StoredNumbersReadTheSameUnderABuiltCommaDecimalLocale) {
  TempDir dir;
  const fs::path locales = dir.path() / "locales";
  fs::create_directory(locales);
  const std::string build = "localedef -i de_DE -f UTF-8 '" + (locales / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(build.c_str()) != 0) GTEST_SKIP() << "localedef could not build de_DE.UTF-8";
  const char* oldPath = std::getenv("LOCPATH");
  const std::string savedPath = oldPath ? oldPath : "", savedC = std::setlocale(LC_ALL, nullptr);
  setenv("LOCPATH", locales.c_str(), 1);
  const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") && std::string(std::localeconv()->decimal_point) == ",";

  const auto file = dir.path() / "defaults.json";
  writeFile(file, R"({"format":1,"values":{"delay":0.15,"tiny":-2.5e-3,"big":1E+300,"count":7}})");
  ::testing::internal::CaptureStderr();
  auto d = UserDefaults::persistent(file);
  d->set("written", 0.4);
  const std::string said = ::testing::internal::GetCapturedStderr();
  auto reread = UserDefaults::persistent(file);
  std::setlocale(LC_ALL, savedC.c_str());
  oldPath ? setenv("LOCPATH", savedPath.c_str(), 1) : unsetenv("LOCPATH");
  if (!comma) GTEST_SKIP() << "the built locale has no decimal comma";

  EXPECT_TRUE(said.empty()) << said;
  for (const auto* domain : {d.get(), reread.get()}) {
    EXPECT_EQ(domain->object("delay"), DefaultsValue(0.15));
    EXPECT_EQ(domain->object("tiny"), DefaultsValue(-2.5e-3));
    EXPECT_EQ(domain->object("big"), DefaultsValue(1e300));
    EXPECT_EQ(domain->object("count"), DefaultsValue(7));
  }
  EXPECT_EQ(reread->object("written"), DefaultsValue(0.4));
  EXPECT_NE(readFile(file).find("0.4"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(dir.path()))  // nothing copied aside
    EXPECT_FALSE(entry.path().filename().string().starts_with("defaults.json.")) << entry.path();
}
