#pragma once
// One QApplication for the whole test binary, made before the first test and never destroyed
// (tearing Qt down after main is not worth the trouble).

#include <gtest/gtest.h>

#include <QApplication>

#include "Platform/Desktop/Appearance.h"

namespace vimbo::desktop::testing {

inline QApplication& testApp() {
  static QApplication* app = [] {
    static int argc = 1;
    static char name[] = "desktop_tests";
    static char* argv[] = {name, nullptr};
    auto* a = new QApplication(argc, argv);
    configureApplication(*a);
    return a;
  }();
  return *app;
}

// A first member of a fixture, so that the application exists before anything Qt is made.
struct AppFirst {
  AppFirst() { testApp(); }
};

}  // namespace vimbo::desktop::testing
