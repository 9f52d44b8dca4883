#include <gtest/gtest.h>

#include "Platform/Foundation/LoginItem.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"

using namespace vimbo::platform;

TEST(LoginItemInMemory, RegisterUnregisterAndFailures) {
  InMemoryLoginItem item;
  // Unregistering an item that is not registered is a failure, not a silent success.
  EXPECT_TRUE(item.unregisterItem().has_value());
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
  EXPECT_FALSE(item.registerItem().has_value());
  EXPECT_EQ(item.status(), LoginItemStatus::enabled);
  EXPECT_FALSE(item.registerItem().has_value());
  EXPECT_FALSE(item.unregisterItem().has_value());
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

  item.setFailRegister(true);
  auto error = item.registerItem();
  ASSERT_TRUE(error.has_value());
  EXPECT_FALSE(error->empty());
  EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

  item.setFailRegister(false);
  item.setRequiresApproval(true);
  EXPECT_FALSE(item.registerItem().has_value());
  EXPECT_EQ(item.status(), LoginItemStatus::requiresApproval);
  item.setFailUnregister(true);
  EXPECT_TRUE(item.unregisterItem().has_value());
  EXPECT_EQ(item.status(), LoginItemStatus::requiresApproval);

  item.setStatus(LoginItemStatus::notFound);
  EXPECT_TRUE(item.registerItem().has_value());
  EXPECT_EQ(item.registerCount(), 5);
  EXPECT_EQ(item.unregisterCount(), 3);
}

TEST(ScreenCaptureAccessInMemory, PreflightAndRequest) {
  InMemoryScreenCaptureAccess access(false);
  EXPECT_FALSE(access.preflight());
  EXPECT_FALSE(access.request());
  EXPECT_FALSE(access.preflight());
  access.setGrantOnRequest(true);
  EXPECT_TRUE(access.request());
  EXPECT_TRUE(access.preflight());
  EXPECT_EQ(access.requestCount(), 2);
}
