#include "Platform/Foundation/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <nlohmann/json.hpp>

#include "Platform/Foundation/Diagnostics.h"

namespace vimbo::platform {

namespace {

using json = nlohmann::json;

// File format: {"format": 1, "values": {key: value}}. Booleans, integers, strings and arrays are
// plain JSON; every JSON object is a tagged value, so nothing is ambiguous on reading:
//   {"data": "<base64>"}, {"dictionary": {...}}, {"double": "nan" | "inf" | "-inf"}.
// Finite doubles are plain JSON numbers, which the writer always gives a fraction or exponent, so
// 1.0 reads back as a double and 1 as an integer.
constexpr int kFormat = 1;

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const Data& in) {
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t n = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8) | in[i + 2];
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += kBase64[(n >> 6) & 63];
    out += kBase64[n & 63];
  }
  if (i + 1 == in.size()) {
    uint32_t n = uint32_t(in[i]) << 16;
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += "==";
  } else if (i + 2 == in.size()) {
    uint32_t n = (uint32_t(in[i]) << 16) | (uint32_t(in[i + 1]) << 8);
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += kBase64[(n >> 6) & 63];
    out += '=';
  }
  return out;
}

std::optional<Data> base64Decode(const std::string& in) {
  if (in.size() % 4 != 0) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  Data out;
  out.reserve(in.size() / 4 * 3);
  for (size_t i = 0; i < in.size(); i += 4) {
    const bool last = i + 4 == in.size();
    int pad = 0;
    uint32_t n = 0;
    for (size_t k = 0; k < 4; ++k) {
      char c = in[i + k];
      if (c == '=' && last && k >= 2) {
        ++pad;
        n <<= 6;
        continue;
      }
      int d = digit(c);
      if (d < 0 || pad > 0) return std::nullopt;
      n = (n << 6) | uint32_t(d);
    }
    out.push_back(uint8_t(n >> 16));
    if (pad < 2) out.push_back(uint8_t(n >> 8));
    if (pad < 1) out.push_back(uint8_t(n));
  }
  return out;
}

json encode(const DefaultsValue& value) {
  return std::visit(
      [](const auto& v) -> json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::string>) {
          return json(v);
        } else if constexpr (std::is_same_v<T, double>) {
          if (std::isfinite(v)) return json(v);
          return json{{"double", std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf")}};
        } else if constexpr (std::is_same_v<T, Data>) {
          return json{{"data", base64Encode(v)}};
        } else if constexpr (std::is_same_v<T, DefaultsArray>) {
          json a = json::array();
          for (const auto& e : v) a.push_back(encode(e));
          return a;
        } else {
          json d = json::object();
          for (const auto& [k, e] : v) d[k] = encode(e);
          return json{{"dictionary", std::move(d)}};
        }
      },
      value.base());
}

// `depth` is how many containers may still open: a value nested deeper than the limit is
// unreadable as a whole, so the recursion never goes further than the limit.
std::optional<DefaultsValue> decode(const json& j, int depth) {
  switch (j.type()) {
    case json::value_t::boolean: return DefaultsValue(j.get<bool>());
    case json::value_t::number_integer: return DefaultsValue(j.get<std::int64_t>());
    case json::value_t::number_unsigned: {
      auto u = j.get<std::uint64_t>();
      if (u > uint64_t(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
      return DefaultsValue(static_cast<std::int64_t>(u));
    }
    case json::value_t::number_float: return DefaultsValue(j.get<double>());
    case json::value_t::string: return DefaultsValue(j.get<std::string>());
    case json::value_t::array: {
      if (depth <= 0) return std::nullopt;
      DefaultsArray a;
      a.reserve(j.size());
      for (const auto& e : j) {
        auto v = decode(e, depth - 1);
        if (!v) return std::nullopt;
        a.push_back(std::move(*v));
      }
      return DefaultsValue(std::move(a));
    }
    case json::value_t::object: {
      if (j.size() != 1) return std::nullopt;
      const auto first = j.begin();
      const std::string& tag = first.key();
      const json& body = first.value();
      if (tag == "data" && body.is_string()) {
        auto d = base64Decode(body.get<std::string>());
        if (!d) return std::nullopt;
        return DefaultsValue(std::move(*d));
      }
      if (tag == "double" && body.is_string()) {
        const auto& s = body.get_ref<const std::string&>();
        if (s == "nan") return DefaultsValue(std::numeric_limits<double>::quiet_NaN());
        if (s == "inf") return DefaultsValue(std::numeric_limits<double>::infinity());
        if (s == "-inf") return DefaultsValue(-std::numeric_limits<double>::infinity());
        return std::nullopt;
      }
      if (tag == "dictionary" && body.is_object()) {
        if (depth <= 0) return std::nullopt;
        DefaultsDictionary d;
        for (auto it = body.begin(); it != body.end(); ++it) {
          auto v = decode(it.value(), depth - 1);
          if (!v) return std::nullopt;
          d.emplace(it.key(), std::move(*v));
        }
        return DefaultsValue(std::move(d));
      }
      return std::nullopt;
    }
    default: return std::nullopt;
  }
}

// The parser's own tree builder, except that an integer too large for 64 bits (which the parser
// would quietly turn into a double) becomes a tag no reader knows, so the value it sits in is
// dropped like any other unreadable one. The writer never writes a double without a fraction or
// an exponent, so such a number is always an integer. The parser hands over the number's text
// with the C locale's decimal point in place of '.', so "not only digits" is what tells a
// fraction or exponent under any process locale.
struct StrictTreeBuilder : nlohmann::detail::json_sax_dom_parser<json> {
  using json_sax_dom_parser::json_sax_dom_parser;
  bool number_float(double value, const std::string& text) {
    if (text.find_first_not_of("-0123456789") != std::string::npos) return json_sax_dom_parser::number_float(value, text);
    std::string copy = text;
    std::string tag = "integer beyond 64 bits";
    return start_object(1) && key(tag) && string(copy) && end_object();
  }
};

std::string utcStamp() {
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &tm);
  return buf;
}

// Test seam: errno for the next operation of each kind, 0 for none.
std::array<std::atomic<int>, 4> injectedFailures{};

int takeInjectedFailure(UserDefaults::FileOperation op) {
  return injectedFailures[static_cast<size_t>(op)].exchange(0);
}

std::string describe(int error) { return std::strerror(error); }

// A write's temp file is the file's name, this, and mkostemp's six letters or digits.
constexpr const char* kTemporarySuffix = ".tmp-";

// Keeps a file that cannot be parsed for the user instead of overwriting it with the empty domain.
void moveAside(const std::filesystem::path& file) {
  std::error_code ec;
  const std::string base = file.string() + ".corrupt-" + utcStamp();
  std::filesystem::path target = base;
  for (int n = 1; std::filesystem::exists(target, ec) && n < 1000; ++n) target = base + "-" + std::to_string(n);
  std::filesystem::rename(file, target, ec);
  if (!ec) reportToUser("设置文件 " + file.string() + " 无法解析，已另存为 " + target.string() + "，以空设置开始。");
}

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

// Reads a whole file; errno on failure (ENOENT when there is none).
int readWhole(const std::filesystem::path& file, std::string& out) {
  if (int injected = takeInjectedFailure(UserDefaults::FileOperation::read)) return injected;
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      return error;
    }
    if (n == 0) break;
    out.append(buffer, size_t(n));
  }
  ::close(fd);
  return 0;
}

void syncFolder(const std::filesystem::path& dir) {
  if (dir.empty()) return;
  if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

// Writes the bytes to a new file beside `file` named `<name>.<kind>-<stamp>`; errno on failure.
int copyAside(const std::filesystem::path& file, const std::string& kind, const std::string& bytes, std::string& copy) {
  if (int injected = takeInjectedFailure(UserDefaults::FileOperation::copyAside)) return injected;
  const std::string base = file.string() + "." + kind + "-" + utcStamp();
  int fd = -1;
  for (int n = 0; fd < 0 && n < 1000; ++n) {
    copy = n == 0 ? base : base + "-" + std::to_string(n);
    fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) error = errno;
  if (error != 0) {
    ::unlink(copy.c_str());
    return error;
  }
  syncFolder(file.parent_path());
  return 0;
}

}  // namespace

bool isWithinDefaultsDepth(const DefaultsValue& value, int limit) {
  if (auto a = std::get_if<DefaultsArray>(&value)) {
    if (limit <= 0) return false;
    for (const auto& e : *a)
      if (!isWithinDefaultsDepth(e, limit - 1)) return false;
  } else if (auto d = std::get_if<DefaultsDictionary>(&value)) {
    if (limit <= 0) return false;
    for (const auto& [k, e] : *d)
      if (!isWithinDefaultsDepth(e, limit - 1)) return false;
  }
  return true;
}

DefaultsFileContents UserDefaults::parseFile(std::string_view bytes) {
  DefaultsFileContents contents;
  json root;
  StrictTreeBuilder builder(root, /*allow_exceptions=*/false);
  const bool parsed = json::sax_parse(bytes, &builder) && !builder.is_errored();
  if (!parsed || !root.is_object()) return contents;
  const auto values = root.find("values");
  if (values == root.end() || !values->is_object()) return contents;
  contents.parsed = true;
  const auto format = root.find("format");
  contents.complete = format != root.end() && format->is_number_integer() && format->get<std::int64_t>() == kFormat;
  // A single value we cannot read is dropped; the rest of the domain survives.
  for (auto it = values->begin(); it != values->end(); ++it) {
    if (auto v = decode(it.value(), kMaxDefaultsDepth)) {
      contents.values.emplace(it.key(), std::move(*v));
    } else {
      contents.complete = false;
    }
  }
  return contents;
}

std::string UserDefaults::fileBytes(const DefaultsDictionary& values) {
  json stored = json::object();
  for (const auto& [k, v] : values) stored[k] = encode(v);
  json root = {{"format", kFormat}, {"values", std::move(stored)}};
  // Invalid UTF-8 in a key or string is replaced rather than failing the whole write.
  return root.dump(1, '\t', false, json::error_handler_t::replace) + "\n";
}

void UserDefaults::failFileOperationForTesting(FileOperation operation, int error) {
  injectedFailures[static_cast<size_t>(operation)] = error;
}

std::shared_ptr<UserDefaults> UserDefaults::inMemory() { return std::shared_ptr<UserDefaults>(new UserDefaults()); }

std::shared_ptr<UserDefaults> UserDefaults::persistent(std::filesystem::path file, Scheduler scheduler) {
  std::shared_ptr<UserDefaults> d(new UserDefaults());
  d->file_ = std::move(file);
  d->scheduler_ = std::move(scheduler);
  d->load();
  return d;
}

std::filesystem::path UserDefaults::defaultFilePath() {
  std::filesystem::path base;
  // Relative values are ignored, as the XDG base directory rules say.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if ((!home || !*home)) {
      if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    base = std::filesystem::path(home && *home ? home : ".") / ".config";
  }
  return base / "vimbo" / "defaults.json";
}

UserDefaults::~UserDefaults() {
  if (dirty_) writeFile();
}

void UserDefaults::load() {
  std::string bytes;
  if (int error = readWhole(file_, bytes)) {
    if (error != ENOENT) unreadableFile_ = describe(error);  // left in place; see writeFile
    return;
  }
  DefaultsFileContents contents = parseFile(bytes);
  if (!contents.parsed) {
    moveAside(file_);
    return;
  }
  values_ = std::move(contents.values);
  if (!contents.complete) {
    std::string copy;
    if (copyAside(file_, "unreadable", bytes, copy) == 0) {
      reportToUser("设置文件 " + file_.string() + " 中有本版本无法读取的内容，原文件已另存为 " + copy + "。");
    } else {
      pendingCopyAside_ = std::move(bytes);  // tried again before the first write
    }
  }
}

std::optional<DefaultsValue> UserDefaults::object(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool UserDefaults::hasObject(const std::string& key) const { return values_.count(key) != 0; }

std::optional<std::string> UserDefaults::string(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto s = std::get_if<std::string>(&it->second)) return *s;
  return std::nullopt;
}

std::optional<Data> UserDefaults::data(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto d = std::get_if<Data>(&it->second)) return *d;
  return std::nullopt;
}

std::optional<bool> UserDefaults::boolean(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  const auto& v = it->second;
  if (auto b = std::get_if<bool>(&v)) return *b;
  if (auto i = std::get_if<std::int64_t>(&v); i && (*i == 0 || *i == 1)) return *i == 1;
  if (auto d = std::get_if<double>(&v); d && (*d == 0.0 || *d == 1.0)) return *d == 1.0;
  return std::nullopt;
}

std::optional<double> UserDefaults::number(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  const auto& v = it->second;
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto b = std::get_if<bool>(&v)) return *b ? 1.0 : 0.0;
  return std::nullopt;
}

std::optional<std::int64_t> UserDefaults::integer(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  const auto& v = it->second;
  if (auto i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (auto d = std::get_if<double>(&v)) {
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -9223372036854775808.0 && *d < 9223372036854775808.0)
      return static_cast<std::int64_t>(*d);
  }
  return std::nullopt;
}

std::optional<DefaultsArray> UserDefaults::array(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto a = std::get_if<DefaultsArray>(&it->second)) return *a;
  return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  auto a = std::get_if<DefaultsArray>(&it->second);
  if (!a) return std::nullopt;
  std::vector<std::string> out;
  out.reserve(a->size());
  for (const auto& e : *a) {
    auto s = std::get_if<std::string>(&e);
    if (!s) return std::nullopt;
    out.push_back(*s);
  }
  return out;
}

std::optional<DefaultsDictionary> UserDefaults::dictionary(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto d = std::get_if<DefaultsDictionary>(&it->second)) return *d;
  return std::nullopt;
}

bool UserDefaults::set(const std::string& key, DefaultsValue value) {
  if (!isWithinDefaultsDepth(value)) return false;
  auto it = values_.find(key);
  if (it != values_.end()) {
    if (it->second == value) return true;
    it->second = std::move(value);
  } else {
    values_.emplace(key, std::move(value));
  }
  changed();
  return true;
}

void UserDefaults::removeObject(const std::string& key) {
  if (values_.erase(key) != 0) changed();
}

DefaultsDictionary UserDefaults::dictionaryRepresentation() const { return values_; }

void UserDefaults::changed() {
  if (file_.empty()) return;
  dirty_ = true;
  if (!scheduler_) {
    writeFile();
    return;
  }
  if (writeScheduled_) return;
  writeScheduled_ = true;
  scheduler_([weak = weak_from_this()] {
    if (auto self = weak.lock()) {
      self->writeScheduled_ = false;
      if (self->dirty_) self->writeFile();
    }
  });
}

bool UserDefaults::flush() {
  if (file_.empty() || !dirty_) return true;
  return writeFile();
}

bool UserDefaults::failWrite(std::string message) {
  reportToUser(message);
  lastWriteError_ = std::move(message);
  return false;
}

bool UserDefaults::writeFile() {
  const std::string name = file_.string();
  if (unreadableFile_) {
    return failWrite("设置文件 " + name + " 无法读取（" + *unreadableFile_ + "），为免覆盖它，更改未写入。");
  }
  std::error_code ec;
  const auto dir = file_.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);
  auto failed = [&](int error) {
    return failWrite("无法写入设置文件 " + name + "（" + describe(error) + "），更改将在下次修改或退出时重试。");
  };
  if (ec) return failed(ec.value());  // the folder's own cause, not "no such file" from the temp file
  if (pendingCopyAside_) {
    std::string copy;
    if (int error = copyAside(file_, "unreadable", *pendingCopyAside_, copy)) {
      return failWrite("无法为设置文件 " + name + " 保留一份副本（" + describe(error) + "），更改未写入。");
    }
    reportToUser("设置文件 " + name + " 中有本版本无法读取的内容，原文件已另存为 " + copy + "。");
    pendingCopyAside_.reset();
  }
  const std::string bytes = fileBytes(values_);

  // Each write goes to a temp file of its own beside the real one and is renamed over it: a crash
  // leaves the old file or the new one, and two writers never publish each other's half.
  std::string tmp = name + kTemporarySuffix + "XXXXXX";
  int fd = -1;
  if (int injected = takeInjectedFailure(FileOperation::createTemporary)) return failed(injected);
  fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return failed(errno);
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok) {
    if (int injected = takeInjectedFailure(FileOperation::rename)) {
      ok = false;
      error = injected;
    } else if (::rename(tmp.c_str(), name.c_str()) != 0) {
      ok = false;
      error = errno;
    }
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return failed(error);
  }
  syncFolder(dir);
  dirty_ = false;
  lastWriteError_.reset();
  ++writeCount_;
  return true;
}

int UserDefaults::removeStaleTemporaries(const std::filesystem::path& file, const FolderLock&) {
  const std::string prefix = file.filename().string() + kTemporarySuffix;
  auto isTemporary = [&](const std::string& name) {
    return name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
           std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(), [](char c) {
             return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
  };
  int removed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(file.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (isTemporary(it->path().filename().string()) && it->is_regular_file(ignored) && std::filesystem::remove(it->path(), ignored))
      ++removed;
  }
  return removed;
}

FolderLock::Claim FolderLock::acquire(const std::filesystem::path& folder) {
  Claim claim;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {  // the step that failed says why; opening the lock file would only say it is missing
    claim.error = "无法创建文件夹 " + folder.string() + "（" + ec.message() + "）";
    return claim;
  }
  const std::filesystem::path file = folder / fileName;
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    claim.error = "无法打开锁文件 " + file.string() + "（" + describe(errno) + "）";
    return claim;
  }
  // flock, not fcntl: the lock belongs to this open file, so it also excludes a second claim made
  // inside the same process, and it goes with the descriptor when the process ends.
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      claim.heldElsewhere = true;
    } else {
      claim.error = "无法锁定 " + file.string() + "（" + describe(error) + "）";
    }
    return claim;
  }
  claim.lock.reset(new FolderLock(fd));
  return claim;
}

FolderLock::~FolderLock() { ::close(fd_); }

}  // namespace vimbo::platform
