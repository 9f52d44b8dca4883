#pragma once
// Decorators that count the platform calls the capture service makes, forwarding to the real
// (simulated) services. Used by tests and the benchmark to check how many messages a pass sends.

#include <atomic>

#include "Platform/Platform.h"
#include "Support/ForwardingWindowServer.h"

namespace vimbo::capture_testing {

struct CallCounts {
  std::atomic<int64_t> windowListCopies{0};
  std::atomic<int64_t> hitTests{0};
  std::atomic<int64_t> attributeReads{0};
  std::atomic<int64_t> pidQueries{0};
  std::atomic<int64_t> runningApplicationLookups{0};
  void reset() {
    windowListCopies = 0;
    hitTests = 0;
    attributeReads = 0;
    pidQueries = 0;
    runningApplicationLookups = 0;
  }
  int64_t accessibilityMessages() const { return hitTests + attributeReads + pidQueries; }
};

class CountingWindowServer : public test_support::ForwardingWindowServer {
 public:
  CountingWindowServer(platform::WindowServer& inner, CallCounts& counts) : ForwardingWindowServer(inner), counts_(counts) {}
  std::optional<std::vector<platform::WindowInfo>> copyWindowList(platform::WindowListOption option, uint32_t relative) override {
    ++counts_.windowListCopies;
    return ForwardingWindowServer::copyWindowList(option, relative);
  }

 private:
  CallCounts& counts_;
};

class CountingAccessibility : public platform::Accessibility {
 public:
  CountingAccessibility(platform::Accessibility& inner, CallCounts& counts) : inner_(inner), counts_(counts) {}
  bool isProcessTrusted(bool prompt) override { return inner_.isProcessTrusted(prompt); }
  platform::AXElement createApplication(int32_t pid) override { return inner_.createApplication(pid); }
  platform::AXElement createSystemWide() override { return inner_.createSystemWide(); }
  platform::AXCopyResult copyAttributeValue(platform::AXElement e, const std::string& a) override {
    ++counts_.attributeReads;
    return inner_.copyAttributeValue(e, a);
  }
  platform::AXSettableResult isAttributeSettable(platform::AXElement e, const std::string& a) override {
    return inner_.isAttributeSettable(e, a);
  }
  platform::AXError setAttributeValue(platform::AXElement e, const std::string& a, const platform::AXValue& v) override {
    return inner_.setAttributeValue(e, a, v);
  }
  platform::AXError performAction(platform::AXElement e, const std::string& a) override { return inner_.performAction(e, a); }
  platform::AXElementResult copyElementAtPosition(platform::AXElement e, float x, float y) override {
    ++counts_.hitTests;
    return inner_.copyElementAtPosition(e, x, y);
  }
  platform::AXPidResult getPid(platform::AXElement e) override {
    ++counts_.pidQueries;
    return inner_.getPid(e);
  }
  platform::AXError setMessagingTimeout(platform::AXElement e, float s) override { return inner_.setMessagingTimeout(e, s); }

 private:
  platform::Accessibility& inner_;
  CallCounts& counts_;
};

class CountingWorkspace : public platform::Workspace {
 public:
  CountingWorkspace(platform::Workspace& inner, CallCounts& counts) : inner_(inner), counts_(counts) {}
  std::vector<platform::RunningApplication> runningApplications() const override { return inner_.runningApplications(); }
  std::optional<platform::RunningApplication> runningApplication(int32_t pid) const override {
    ++counts_.runningApplicationLookups;
    return inner_.runningApplication(pid);
  }
  std::optional<std::string> urlForApplication(const std::string& b) const override { return inner_.urlForApplication(b); }
  std::optional<platform::BundleInfo> bundleInfo(const std::string& url) const override { return inner_.bundleInfo(url); }
  platform::ImageRef iconForFile(const std::string& path) const override { return inner_.iconForFile(path); }

 private:
  platform::Workspace& inner_;
  CallCounts& counts_;
};

// A platform bundle whose window server, accessibility and workspace count their calls.
struct CountingPlatform {
  CallCounts counts;
  CountingWindowServer windowServer;
  CountingAccessibility accessibility;
  CountingWorkspace workspace;
  platform::Platform platform;

  explicit CountingPlatform(const platform::Platform& inner)
      : windowServer(inner.windowServer, counts),
        accessibility(inner.accessibility, counts),
        workspace(inner.workspace, counts),
        platform{inner.executor,     inner.defaults,    windowServer,       inner.screenCaptureAccess, inner.screenCapture,
                 accessibility,      inner.events,      inner.inputHold, inner.statusBar,    inner.screens,             workspace,
                 inner.eventMonitors, inner.hotKeys,    inner.application,  inner.loginItem,
                 inner.windows} {}
};

}  // namespace vimbo::capture_testing
