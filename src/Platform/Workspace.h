#pragma once
// Running and installed applications.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vimbo::platform {

class Image;
using ImageRef = std::shared_ptr<const Image>;

enum class ActivationPolicy { Regular = 0, Accessory = 1, Prohibited = 2 };

// A value of a bundle's information dictionary ("LSUIElement" may be a Boolean or a string).
using BundleInfoValue = std::variant<bool, int64_t, double, std::string>;
using BundleInfo = std::map<std::string, BundleInfoValue>;

struct RunningApplication {
  int32_t processIdentifier = 0;
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> executableURL;  // file path
  std::optional<std::string> bundleURL;      // file path
  ActivationPolicy activationPolicy = ActivationPolicy::Regular;
  ImageRef icon;  // none when the application has no icon
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  virtual std::vector<RunningApplication> runningApplications() const = 0;  // workspace order
  virtual std::optional<RunningApplication> runningApplication(int32_t pid) const = 0;
  virtual std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) const = 0;
  // The information dictionary of the bundle at the URL; none when it cannot be read.
  virtual std::optional<BundleInfo> bundleInfo(const std::string& bundleURL) const = 0;
  virtual ImageRef iconForFile(const std::string& path) const = 0;
};

}  // namespace vimbo::platform
