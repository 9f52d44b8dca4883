// The quick-search panel's behaviour without widgets: how it reacts to the session and the store,
// its rows' hints and which scroll it asks for.
#include <gtest/gtest.h>

#include "Support/PanelFixture.h"
#include "Views/MenuBarSearchPanelModel.h"
#include "Views/MenuBarSearchSession.h"

using namespace vimbo;
using namespace vimbo::test_support;

namespace {

std::vector<CapturedMenuBarItem> numberedItems(int n) {
  std::vector<CapturedMenuBarItem> items;
  for (int i = 0; i < n; ++i)
    items.push_back(capturedItem(std::uint32_t(100 + i), "Item-0", "项目 " + std::to_string(i), "Owner",
                                 "com.example.item" + std::to_string(i), nullptr, false));
  return items;
}

struct QuickSearchModelTest : ::testing::Test {
  PanelStore world{false};
  MenuBarStore& store = world.store;
  MenuBarSearchSession session;
  ActionLog log;
  std::unique_ptr<MenuBarSearchPanelModel> model;
  std::vector<SearchScrollRequest> scrolls;

  void SetUp() override { attach(); }
  void attach() {
    model = std::make_unique<MenuBarSearchPanelModel>(store, session, log.quickSearchActions());
    model->onScroll = [this](SearchScrollRequest r) { scrolls.push_back(r); };
  }
};

}  // namespace

TEST_F(QuickSearchModelTest, ResetBumpsTheQueryRevisionExactlyOnce) {
  store.replaceCapturedSystemItems(numberedItems(3));
  int64_t before = session.queryRevision.get();
  session.reset();  // empty query: reset counts itself
  EXPECT_EQ(session.queryRevision.get(), before + 1);

  session.query.set("abc");
  before = session.queryRevision.get();
  session.reset();  // the cleared query counts through the view's handler
  EXPECT_EQ(session.queryRevision.get(), before + 1);

  session.query.set("项目");
  session.select(2, 3);
  before = session.queryRevision.get();
  session.query.set("项目");  // the same query again
  EXPECT_EQ(session.queryRevision.get(), before);
  EXPECT_EQ(session.selectedIndex.get(), 2);
}

TEST_F(QuickSearchModelTest, ShrinkingListClampsTheSelection) {
  store.replaceCapturedSystemItems(numberedItems(12));
  session.select(10, 12);
  auto items = numberedItems(4);
  store.replaceCapturedSystemItems(items);
  EXPECT_EQ(session.selectedIndex.get(), 3);
  EXPECT_EQ(model->resultCount(), 4);
}

TEST_F(QuickSearchModelTest, ScrollsFollowKeysQueriesAndShowing) {
  store.replaceCapturedSystemItems(numberedItems(12));
  scrolls.clear();
  model->shown();
  EXPECT_EQ(scrolls, std::vector<SearchScrollRequest>{SearchScrollRequest::toTop});

  scrolls.clear();
  for (int i = 0; i < 8; ++i) session.moveSelection(1, model->resultCount());
  EXPECT_EQ(session.selectedIndex.get(), 8);
  EXPECT_EQ(scrolls, std::vector<SearchScrollRequest>(8, SearchScrollRequest::selectedIntoView));

  scrolls.clear();
  session.query.set("项目 1");
  EXPECT_EQ(scrolls, std::vector<SearchScrollRequest>{SearchScrollRequest::toTop});

  scrolls.clear();
  session.selectedIndex.set(40);  // outside the list: a keyboard move asks nothing
  session.keyboardNavigationRevision.set(session.keyboardNavigationRevision.get() + 1);
  EXPECT_TRUE(scrolls.empty());
}

TEST_F(QuickSearchModelTest, ContentFollowsItemsCaptureAndQuery) {
  store.isCapturingSystemItems.set(true);
  EXPECT_EQ(model->content(), SearchPanelContent::waitingForItems);
  EXPECT_EQ(model->waitingText(), "正在读取菜单栏项目…");
  store.isCapturingSystemItems.set(false);
  EXPECT_EQ(model->waitingText(), "暂时没有可搜索的菜单栏项目");

  store.replaceCapturedSystemItems(numberedItems(2));
  EXPECT_EQ(model->content(), SearchPanelContent::list);
  model->editQuery("zzz");
  EXPECT_EQ(session.query.get(), "zzz");
  EXPECT_EQ(model->content(), SearchPanelContent::noMatch);
  model->editQuery("");
  EXPECT_EQ(model->content(), SearchPanelContent::list);
  EXPECT_EQ(session.selectedIndex.get(), 0);
}

TEST_F(QuickSearchModelTest, PointerClickAndEscapeReachTheSessionAndClosures) {
  store.replaceCapturedSystemItems(numberedItems(5));
  model->pointerMovedInto(3);
  EXPECT_EQ(session.selectedIndex.get(), 3);
  EXPECT_EQ(session.keyboardNavigationRevision.get(), 0);
  model->click(2);
  model->click(9);  // outside the list
  model->exitCommand();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"open 项目 2", "close"}));
}

struct HintCase {
  int64_t index;
  bool selected;
  std::string hint;
};

class QuickSearchHintTest : public ::testing::TestWithParam<HintCase> {};

TEST_P(QuickSearchHintTest, HintColumn) {
  EXPECT_EQ(quickSearchHint(GetParam().index, GetParam().selected), GetParam().hint);
}

INSTANTIATE_TEST_SUITE_P(Rows, QuickSearchHintTest,
                         ::testing::Values(HintCase{0, true, "↵"}, HintCase{0, false, "⌘1"}, HintCase{8, false, "⌘9"},
                                           HintCase{9, false, ""}, HintCase{11, true, "↵"}));
