#include "Platform/Foundation/UserDefaults.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

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

std::optional<DefaultsValue> decode(const json& j) {
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
      DefaultsArray a;
      for (const auto& e : j) {
        auto v = decode(e);
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
        DefaultsDictionary d;
        for (auto it = body.begin(); it != body.end(); ++it) {
          auto v = decode(it.value());
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

std::string utcStamp() {
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &tm);
  return buf;
}

// Keeps an unreadable file for the user instead of overwriting it with the empty domain.
void moveAside(const std::filesystem::path& file) {
  std::error_code ec;
  const std::string base = file.string() + ".corrupt-" + utcStamp();
  std::filesystem::path target = base;
  for (int n = 1; std::filesystem::exists(target, ec) && n < 1000; ++n) target = base + "-" + std::to_string(n);
  std::filesystem::rename(file, target, ec);
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

}  // namespace

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
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;
  std::ifstream in(file_, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (!in.good() && !in.eof()) {
    moveAside(file_);
    return;
  }
  json root = json::parse(buffer.str(), nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded() || !root.is_object() || !root.contains("values") || !root["values"].is_object()) {
    moveAside(file_);
    return;
  }
  // A single value we cannot read is dropped; the rest of the domain survives.
  const json& stored = root["values"];
  for (auto it = stored.begin(); it != stored.end(); ++it) {
    if (auto v = decode(it.value())) values_.emplace(it.key(), std::move(*v));
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

void UserDefaults::set(const std::string& key, DefaultsValue value) {
  auto it = values_.find(key);
  if (it != values_.end()) {
    if (it->second == value) return;
    it->second = std::move(value);
  } else {
    values_.emplace(key, std::move(value));
  }
  changed();
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

bool UserDefaults::writeFile() {
  json values = json::object();
  for (const auto& [k, v] : values_) values[k] = encode(v);
  json root = {{"format", kFormat}, {"values", std::move(values)}};
  // Invalid UTF-8 in a key or string is replaced rather than failing the whole write.
  std::string bytes = root.dump(1, '\t', false, json::error_handler_t::replace) + "\n";

  std::error_code ec;
  const auto dir = file_.parent_path();
  if (!dir.empty()) std::filesystem::create_directories(dir, ec);

  // Write a sibling temp file and rename it over the old one: a crash leaves the old file or the
  // new one, never a torn mix.
  const std::string tmp = file_.string() + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmp.c_str(), file_.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  if (!dir.empty()) {
    if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
  }
  dirty_ = false;
  ++writeCount_;
  return true;
}

}  // namespace vimbo::platform
