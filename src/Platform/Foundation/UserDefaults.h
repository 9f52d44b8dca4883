#pragma once
// The application's defaults domain: typed values under string keys, read at once, persisted
// to one JSON file with writes coalesced per main-loop turn.
//
// Reads bridge like the platform's standard domain: a stored Boolean reads as the number 0 or 1,
// and a stored number reads as a Boolean only when it is exactly 0 or 1. Every other read is
// strict, so a caller can tell a missing key (`hasObject` false) from a mistyped one (`hasObject`
// true, typed read empty). Used from the main thread only.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/Foundation/Data.h"

namespace vimbo::platform {

struct DefaultsValue;
using DefaultsArray = std::vector<DefaultsValue>;
using DefaultsDictionary = std::map<std::string, DefaultsValue>;

struct DefaultsValue
    : std::variant<bool, std::int64_t, double, std::string, Data, DefaultsArray, DefaultsDictionary> {
  using variant::variant;
  DefaultsValue(const char* s) : variant(std::string(s)) {}
  DefaultsValue(int v) : variant(static_cast<std::int64_t>(v)) {}

  const variant& base() const { return *this; }
  friend bool operator==(const DefaultsValue& a, const DefaultsValue& b) { return a.base() == b.base(); }
};

// How deep arrays and dictionaries may nest in a stored value (a scalar is 0 deep, an array of
// scalars 1). Deeper values are neither stored nor read, so copying, comparing, encoding and
// releasing a stored value never recurses further than this.
inline constexpr int kMaxDefaultsDepth = 256;
// Whether the value nests no deeper than the limit; looks no deeper than limit + 1 to answer.
bool isWithinDefaultsDepth(const DefaultsValue& value, int limit = kMaxDefaultsDepth);

// What a defaults file holds, as this build reads it.
struct DefaultsFileContents {
  bool parsed = false;    // false: not a defaults file at all
  bool complete = false;  // false: a value had to be dropped, or the format is not this build's
  DefaultsDictionary values;
};

// An advisory lock on a folder's lock file, held until the object dies: one Vimbo per defaults
// folder.
class FolderLock {
 public:
  struct Claim {
    std::unique_ptr<FolderLock> lock;  // set when this process now holds the folder
    bool heldElsewhere = false;        // another process holds it
    std::string error;                 // why neither: the step that failed and its cause
  };
  // Creates the folder and its lock file when they are missing; never waits.
  static Claim acquire(const std::filesystem::path& folder);
  static constexpr const char* fileName = "vimbo.lock";
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  explicit FolderLock(int fd) : fd_(fd) {}
  int fd_;
};

class UserDefaults : public std::enable_shared_from_this<UserDefaults> {
 public:
  // Runs a callback on a later main-loop turn (e.g. the executor's post).
  using Scheduler = std::function<void(std::function<void()>)>;

  // A domain that lives only in memory (tests, previews).
  static std::shared_ptr<UserDefaults> inMemory();
  // A domain backed by `file`. With a scheduler, writes are coalesced to one per turn; without
  // one, every change is written through at once. Nothing the user had is destroyed silently:
  // - a file that cannot be parsed is renamed aside (`<name>.corrupt-<stamp>`) and the domain
  //   starts empty;
  // - a file from which a value had to be dropped, or whose format this build does not know, is
  //   copied aside byte for byte (`<name>.unreadable-<stamp>`) before any write, and the values
  //   that could be read are used;
  // - a file that exists but cannot be opened or read stays where it is; the domain starts empty
  //   and every write fails (and is reported) rather than replace it.
  static std::shared_ptr<UserDefaults> persistent(std::filesystem::path file, Scheduler scheduler = {});
  // $XDG_CONFIG_HOME/vimbo/defaults.json, falling back to ~/.config/vimbo/defaults.json.
  static std::filesystem::path defaultFilePath();
  // Removes the temp files that writes cut short by a crash left beside `file`; only safe while
  // this process holds the folder, so no writer of its own or of another Vimbo has one open.
  // How many were removed.
  static int removeStaleTemporaries(const std::filesystem::path& file, const FolderLock& heldFolder);

  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  std::optional<DefaultsValue> object(const std::string& key) const;
  bool hasObject(const std::string& key) const;
  std::optional<std::string> string(const std::string& key) const;
  std::optional<Data> data(const std::string& key) const;
  std::optional<bool> boolean(const std::string& key) const;
  std::optional<double> number(const std::string& key) const;
  // Integers, Booleans (0/1) and doubles with an exact integral value in range.
  std::optional<std::int64_t> integer(const std::string& key) const;
  std::optional<DefaultsArray> array(const std::string& key) const;
  // None when the value is not an array or any element is not a string.
  std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
  std::optional<DefaultsDictionary> dictionary(const std::string& key) const;

  // False (and nothing stored) for a value nested deeper than kMaxDefaultsDepth.
  bool set(const std::string& key, DefaultsValue value);
  void removeObject(const std::string& key);
  DefaultsDictionary dictionaryRepresentation() const;

  // Writes pending changes now. False when the file could not be written; the changes then stay
  // pending for the next change or the next flush. Always true for an in-memory domain. Every
  // failed write, coalesced or flushed, is reported to the user once per distinct error, as is
  // every file set aside (reportToUser).
  bool flush();
  // Why the last write failed; none once a write succeeds.
  const std::optional<std::string>& lastWriteError() const { return lastWriteError_; }

  // The file backing this domain (empty for an in-memory one) and how many times it was written.
  const std::filesystem::path& file() const { return file_; }
  std::uint64_t fileWriteCount() const { return writeCount_; }

  // The file format, for readers other than a domain (tools, fuzzing) and for the domain itself.
  static DefaultsFileContents parseFile(std::string_view bytes);
  static std::string fileBytes(const DefaultsDictionary& values);

  // Test seam: the next file operations of this kind fail with the given errno (0: none fail).
  enum class FileOperation { read, copyAside, createTemporary, rename };
  static void failFileOperationForTesting(FileOperation operation, int error);

 private:
  UserDefaults() = default;
  void load();
  void changed();
  bool writeFile();
  bool failWrite(std::string message);

  DefaultsDictionary values_;
  std::filesystem::path file_;
  Scheduler scheduler_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
  std::uint64_t writeCount_ = 0;
  std::optional<std::string> unreadableFile_;  // why the existing file could not be read
  std::optional<std::string> pendingCopyAside_;  // bytes still to be kept before the first write
  std::optional<std::string> lastWriteError_;
};

}  // namespace vimbo::platform
