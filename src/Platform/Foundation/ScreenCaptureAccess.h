#pragma once
// Screen-recording permission: a silent check and a request that may prompt the user, plus an
// in-memory stand-in with switches.

namespace vimbo::platform {

class ScreenCaptureAccess {
 public:
  virtual ~ScreenCaptureAccess() = default;
  // Whether access is granted now; never prompts.
  virtual bool preflight() const = 0;
  // Asks for access (the user may be prompted); true when access is granted afterwards.
  virtual bool request() = 0;
};

class InMemoryScreenCaptureAccess : public ScreenCaptureAccess {
 public:
  explicit InMemoryScreenCaptureAccess(bool granted = true) : granted_(granted) {}

  bool preflight() const override { return granted_; }
  bool request() override {
    ++requestCount_;
    if (!granted_ && grantOnRequest_) granted_ = true;
    return granted_;
  }

  // Switches.
  void setGranted(bool granted) { granted_ = granted; }
  // Whether a request made while access is missing grants it (otherwise the user refuses).
  void setGrantOnRequest(bool grant) { grantOnRequest_ = grant; }
  int requestCount() const { return requestCount_; }

 private:
  bool granted_;
  bool grantOnRequest_ = false;
  int requestCount_ = 0;
};

}  // namespace vimbo::platform
