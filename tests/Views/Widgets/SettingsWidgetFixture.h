#pragma once
// The settings content on the real store (in-memory defaults, an in-memory login item), with
// recording closures, a recording application and a virtual clock. Offscreen, motion off.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextDocumentFragment>
#include <memory>

#include "Platform/Application.h"
#include "Views/LayoutFixture.h"
#include "Views/Widgets/SettingsView.h"
#include "Views/Widgets/WidgetTestSupport.h"

namespace vimbo::views::testing {

using vimbo::testing::RecordingSettingsActions;

class RecordingApplication : public platform::Application {
 public:
  int terminateCalls = 0;
  int32_t processIdentifier() const override { return 4242; }
  platform::ActivationPolicy activationPolicy() const override { return policy_; }
  bool setActivationPolicy(platform::ActivationPolicy policy) override {
    policy_ = policy;
    return true;
  }
  void activate(bool) override {}
  bool isActive() const override { return true; }
  std::optional<platform::Event> currentEvent() const override { return std::nullopt; }
  platform::WindowHandle keyWindow() const override { return 0; }
  void setKeyWindow(platform::WindowHandle) override {}
  void setDelegate(platform::ApplicationDelegate*) override {}
  void terminate() override { ++terminateCalls; }

 private:
  platform::ActivationPolicy policy_ = platform::ActivationPolicy::Accessory;
};

class SettingsWidgetTest : public ::testing::Test {
 protected:
  desktop::testing::AppFirst app;
  MotionOff motionOff;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{true};
  async::VirtualExecutor executor;
  std::unique_ptr<MenuBarStore> store;
  RecordingSettingsActions actions;
  RecordingApplication application;
  std::unique_ptr<SettingsView> view;

  void SetUp() override { store = std::make_unique<MenuBarStore>(*defaults, login, capture); }
  void TearDown() override {
    view.reset();
    executor.runUntil(executor.now());
    executor.shutdown();  // worker threads must not outlive the store, which goes before the executor
  }

  SettingsView& open(QSize size = {760, 650}) {
    view = std::make_unique<SettingsView>(*store, executor, application, actions.apply(), actions.refresh());
    view->resize(size);
    view->show();
    settle();
    return *view;
  }
  // What is due now on the runtime, then Qt's own events (layouts, show and hide).
  void settle() {
    for (int i = 0; i < 3; ++i) {
      executor.runUntil(executor.now());
      QCoreApplication::processEvents();
    }
  }
  void click(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
    settle();
  }
  // A click where a person would make it: to the widget the content has at that point.
  void clickThroughContent(QWidget* target) {
    const QPoint at = target->mapTo(view.get(), target->rect().center());
    QWidget* receiver = view->childAt(at);
    ASSERT_NE(receiver, nullptr);
    QTest::mouseClick(receiver, Qt::LeftButton, {}, receiver->mapFrom(view.get(), at));
    settle();
  }
  void fillLayoutFixture() { store->replaceCapturedSystemItems(vimbo::testing::layoutFixtureItems()); }
};

// Every label under `root` that is shown and holds text, with the text it shows.
inline QList<QLabel*> shownLabels(QWidget* root) {
  QList<QLabel*> labels;
  for (auto* label : root->findChildren<QLabel*>()) {
    if (label->isVisibleTo(root) && !label->text().isEmpty()) labels.append(label);
  }
  return labels;
}

// A tool tip as the person reads it (tool tips are set as escaped plain text).
inline QString plainToolTip(const QWidget* widget) {
  return QTextDocumentFragment::fromHtml(widget->toolTip()).toPlainText().replace(QChar(0xA0), QLatin1Char(' '));
}

inline QStringList texts(QWidget* root) {
  QStringList list;
  for (auto* label : shownLabels(root)) list.append(label->text());
  return list;
}

}  // namespace vimbo::views::testing
