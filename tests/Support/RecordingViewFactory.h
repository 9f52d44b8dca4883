#pragma once
// A view factory for tests without a display: every content it makes is a record of what it was
// made from (its kind, the store, the session and the closures). The closures stay callable, so a
// test can press a view's buttons by calling them.

#include <memory>
#include <vector>

#include "Views/ViewFactory.h"

namespace vimbo::test_support {

enum class ContentKind { managerPanel, quickSearchPanel, settingsView };

struct RecordedContent : platform::ViewContent {
  ContentKind kind = ContentKind::managerPanel;
  MenuBarStore* store = nullptr;
  MenuBarSearchSession* session = nullptr;  // quick search only
  ManagerPanelActions manager;
  QuickSearchActions quickSearch;
  SettingsActions settings;
};

class RecordingViewFactory : public ViewFactory {
 public:
  platform::ViewContentRef makeManagerPanel(MenuBarStore& store, ManagerPanelActions actions) override {
    auto c = record(ContentKind::managerPanel, store);
    c->manager = std::move(actions);
    return c;
  }
  platform::ViewContentRef makeQuickSearchPanel(MenuBarStore& store, MenuBarSearchSession& session,
                                                QuickSearchActions actions) override {
    auto c = record(ContentKind::quickSearchPanel, store);
    c->session = &session;
    c->quickSearch = std::move(actions);
    return c;
  }
  platform::ViewContentRef makeSettingsView(MenuBarStore& store, SettingsActions actions) override {
    auto c = record(ContentKind::settingsView, store);
    c->settings = std::move(actions);
    return c;
  }

  // Everything made, in order.
  const std::vector<std::shared_ptr<RecordedContent>>& made() const { return made_; }
  std::vector<std::shared_ptr<RecordedContent>> made(ContentKind kind) const {
    std::vector<std::shared_ptr<RecordedContent>> out;
    for (const auto& c : made_)
      if (c->kind == kind) out.push_back(c);
    return out;
  }
  // The record behind a content handed to a window; null when it did not come from here.
  static std::shared_ptr<RecordedContent> recorded(const platform::ViewContentRef& content) {
    return std::dynamic_pointer_cast<RecordedContent>(content);
  }

 private:
  std::shared_ptr<RecordedContent> record(ContentKind kind, MenuBarStore& store) {
    auto c = std::make_shared<RecordedContent>();
    c->kind = kind;
    c->store = &store;
    made_.push_back(c);
    return c;
  }

  std::vector<std::shared_ptr<RecordedContent>> made_;
};

}  // namespace vimbo::test_support
