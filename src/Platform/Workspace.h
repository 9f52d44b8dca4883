#pragma once
// Running and installed applications.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
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

// A picture drawn the first time it is asked for, so that listing applications costs no drawing;
// copies share the one drawing. Reads like the picture it stands for; empty means none.
class LazyImage {
 public:
  LazyImage() = default;
  LazyImage(ImageRef image) : drawing_(std::make_shared<Drawing>()) {  // NOLINT: a drawn picture
    drawing_->image = std::move(image);
    std::call_once(drawing_->once, [] {});
  }
  static LazyImage deferred(std::function<ImageRef()> draw) {
    LazyImage lazy;
    lazy.drawing_ = std::make_shared<Drawing>();
    lazy.drawing_->draw = std::move(draw);
    return lazy;
  }

  ImageRef get() const {
    if (!drawing_) return nullptr;
    std::call_once(drawing_->once, [d = drawing_.get()] {
      if (d->draw) d->image = d->draw();
      d->draw = nullptr;
    });
    return drawing_->image;
  }
  operator ImageRef() const { return get(); }  // NOLINT: reads as the picture
  explicit operator bool() const { return get() != nullptr; }
  const Image* operator->() const { return get().get(); }

 private:
  struct Drawing {
    std::once_flag once;
    std::function<ImageRef()> draw;
    ImageRef image;
  };
  std::shared_ptr<Drawing> drawing_;
};

struct RunningApplication {
  int32_t processIdentifier = 0;
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> executableURL;  // file path
  std::optional<std::string> bundleURL;      // file path
  ActivationPolicy activationPolicy = ActivationPolicy::Regular;
  LazyImage icon;  // none when the application has no icon
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
