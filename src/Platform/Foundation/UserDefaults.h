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

class UserDefaults : public std::enable_shared_from_this<UserDefaults> {
 public:
  // Runs a callback on a later main-loop turn (e.g. the executor's post).
  using Scheduler = std::function<void(std::function<void()>)>;

  // A domain that lives only in memory (tests, previews).
  static std::shared_ptr<UserDefaults> inMemory();
  // A domain backed by `file`. With a scheduler, writes are coalesced to one per turn; without
  // one, every change is written through at once. A file that cannot be parsed is renamed aside
  // (`<name>.corrupt-<timestamp>`) and the domain starts empty.
  static std::shared_ptr<UserDefaults> persistent(std::filesystem::path file, Scheduler scheduler = {});
  // $XDG_CONFIG_HOME/vimbo/defaults.json, falling back to ~/.config/vimbo/defaults.json.
  static std::filesystem::path defaultFilePath();

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

  void set(const std::string& key, DefaultsValue value);
  void removeObject(const std::string& key);
  DefaultsDictionary dictionaryRepresentation() const;

  // Writes pending changes now. False when the file could not be written; the changes then stay
  // pending for the next attempt. Always true for an in-memory domain.
  bool flush();

  // The file backing this domain (empty for an in-memory one) and how many times it was written.
  const std::filesystem::path& file() const { return file_; }
  std::uint64_t fileWriteCount() const { return writeCount_; }

 private:
  UserDefaults() = default;
  void load();
  void changed();
  bool writeFile();

  DefaultsDictionary values_;
  std::filesystem::path file_;
  Scheduler scheduler_;
  bool dirty_ = false;
  bool writeScheduled_ = false;
  std::uint64_t writeCount_ = 0;
};

}  // namespace vimbo::platform
