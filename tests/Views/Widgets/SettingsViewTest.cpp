#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QRawFont>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>

#include "SettingsWidgetFixture.h"
#include "Platform/Desktop/Appearance.h"
#include "Views/Widgets/GeneralSettingsPage.h"
#include "Views/Widgets/HoverSettingsControls.h"
#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/SettingsAlert.h"
#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/SystemItemsPage.h"

namespace vimbo::views::testing {
namespace {

QColor over(const QColor& top, const QColor& bottom) {
  const double a = top.alphaF();
  return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                          float(top.greenF() * a + bottom.greenF() * (1 - a)),
                          float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

// A row's empty right end, where only its fill shows.
QColor rowFill(QWidget& view, QAbstractButton* row) {
  const QImage image = render(view);
  const QPoint at = row->mapTo(&view, QPoint(row->width() - 4, row->height() / 2));
  return image.pixelColor(at);
}

// Labels whose text does not fit the room they have: one line wider than the label, or wrapped
// text taller than it.
QStringList clippedTexts(QWidget* page) {
  QStringList clipped;
  for (auto* label : shownLabels(page)) {
    const QFontMetrics metrics(label->font());
    const QRect inner = label->contentsRect();
    const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height() + 1
                                        : metrics.horizontalAdvance(label->text()) <= inner.width() + 1;
    if (!fits) clipped.append(label->text());
  }
  return clipped;
}

TEST_F(SettingsWidgetTest, StartsOnGeneralAndSwitchesAtOnceWithTheHighlight) {
  open();
  EXPECT_EQ(view->selectedSection(), SettingsSection::general);
  EXPECT_EQ(view->currentPage(), view->generalPage());
  const QColor sidebar = theme::material(theme::Material::ultraThin);
  EXPECT_TRUE(near(rowFill(*view, view->sidebarRow(SettingsSection::general)), over(theme::accent(0.14), sidebar)));

  click(view->sidebarRow(SettingsSection::about));
  EXPECT_EQ(view->currentPage(), view->aboutPage());
  const auto about = texts(view->aboutPage());
  for (const char* text : {"Vimbo", "让菜单栏保持清爽", "原生 macOS 菜单栏整理工具原型"}) {
    EXPECT_TRUE(about.contains(QString::fromUtf8(text))) << text;
  }
  EXPECT_TRUE(near(rowFill(*view, view->sidebarRow(SettingsSection::about)), over(theme::accent(0.14), sidebar)));
  EXPECT_TRUE(near(rowFill(*view, view->sidebarRow(SettingsSection::general)), sidebar));
  saveScreenshot(render(*view), QStringLiteral("settings-about"));
}

TEST_F(SettingsWidgetTest, EveryPageFitsFromTheMinimumToTheMaximumSize) {
  fillLayoutFixture();
  for (QSize size : {QSize(720, 620), QSize(960, 820)}) {
    open(size);
    EXPECT_EQ(view->sidebar()->width(), SettingsView::kSidebarWidth);
    for (auto section : allSettingsSections) {
      view->select(section);
      settle();
      EXPECT_EQ(clippedTexts(view->currentPage()), QStringList()) << title(section) << " at " << size.width();
      saveScreenshot(render(*view),
                     QStringLiteral("settings-%1-%2").arg(static_cast<int>(section)).arg(size.width()));
    }
  }
}

TEST_F(SettingsWidgetTest, QuitIsRedWithItsToolTipAndTerminatesOnce) {
  open();
  auto* quit = view->quitButton();
  EXPECT_EQ(plainToolTip(quit), QStringLiteral("退出 Vimbo"));
  const QImage image = render(*view);
  bool red = false;
  for (int x = 0; x < quit->width() && !red; ++x) {
    for (int y = 0; y < quit->height() && !red; ++y) {
      const QColor c = image.pixelColor(quit->mapTo(view.get(), QPoint(x, y)));
      red = c.red() > 200 && c.green() < 120 && c.blue() < 120;
    }
  }
  EXPECT_TRUE(red);
  click(quit);
  EXPECT_EQ(application.terminateCalls, 1);
  EXPECT_EQ(view->selectedSection(), SettingsSection::general);
}

TEST_F(SettingsWidgetTest, TheAlertShowsTheSentenceAsPlainTextUntilDismissed) {
  open();
  EXPECT_TRUE(view->alert()->isHidden());
  const QString sentence = QStringLiteral("无法移动“番茄钟”。请在系统设置中允许 Vimbo 使用辅助功能后重试。");
  store->lastError.set(sentence.toStdString());
  settle();
  ASSERT_FALSE(view->alert()->isHidden());
  EXPECT_EQ(view->alert()->message(), sentence);
  EXPECT_TRUE(texts(view->alert()).contains(QStringLiteral("Vimbo")));
  EXPECT_EQ(view->alert()->findChildren<QPushButton*>().size(), 1);
  EXPECT_EQ(view->alert()->okButton()->text(), QStringLiteral("好"));
  saveScreenshot(render(*view), QStringLiteral("settings-alert"));

  // The content under the card takes no click.
  clickThroughContent(view->sidebarRow(SettingsSection::about));
  EXPECT_EQ(view->selectedSection(), SettingsSection::general);

  click(view->alert()->okButton());
  EXPECT_EQ(store->lastError.get(), std::nullopt);
  EXPECT_TRUE(view->alert()->isHidden());

  store->lastError.set("<b>x</b>");
  settle();
  EXPECT_EQ(view->alert()->message(), QStringLiteral("<b>x</b>"));
  for (auto* label : shownLabels(view->alert())) EXPECT_EQ(label->textFormat(), Qt::PlainText);
  QTest::keyClick(view->alert()->okButton(), Qt::Key_Escape);
  settle();
  EXPECT_EQ(store->lastError.get(), std::nullopt);
}

TEST_F(SettingsWidgetTest, TheAlertFollowsTheStoreWhileHiddenAndWhenClearedElsewhere) {
  store->lastError.set("before the content");
  open();
  EXPECT_EQ(view->alert()->message(), QStringLiteral("before the content"));
  store->lastError.set("replaced");
  settle();
  EXPECT_EQ(view->alert()->message(), QStringLiteral("replaced"));
  store->lastError.set(std::nullopt);
  settle();
  EXPECT_TRUE(view->alert()->isHidden());

  view->hide();
  store->lastError.set("while hidden");
  settle();
  view->show();
  settle();
  EXPECT_EQ(view->alert()->message(), QStringLiteral("while hidden"));
  QTest::keyClick(view->alert()->okButton(), Qt::Key_Return);
  settle();
  EXPECT_EQ(store->lastError.get(), std::nullopt);
}

TEST_F(SettingsWidgetTest, TheLoginToggleShowsWhatTheSystemReports) {
  open();
  auto* toggle = view->generalPage()->launchAtLoginToggle();
  login.setFailRegister(true);
  toggle->click();
  settle();
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_TRUE(view->alert()->message().startsWith(QStringLiteral("无法更新登录项：")));
  click(view->alert()->okButton());

  login.setFailRegister(false);
  toggle->click();
  settle();
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_TRUE(store->launchAtLogin.get());
}

TEST_F(SettingsWidgetTest, PrivateInterfaceStatusAndShortcutBadges) {
  open();
  auto* page = view->generalPage();
  for (bool available : {false, true}) {
    store->privateAPIAvailable.set(available);
    settle();
    EXPECT_EQ(page->privateAPIStatus()->text(), available ? QStringLiteral("可用") : QStringLiteral("不可用"));
    const QColor shown = page->privateAPIStatus()->palette().color(QPalette::WindowText);
    EXPECT_EQ(shown, available ? theme::green() : theme::red());
    EXPECT_TRUE(page->privateAPICaption()->isVisibleTo(page));
  }
  ASSERT_EQ(page->shortcutBadges().size(), 2);
  for (auto* badge : page->shortcutBadges()) {
    for (char32_t c : badge->text().toUcs4()) {
      bool found = false;
      for (const QString& family : badge->font().families()) {
        QFont f(family);
        f.setPixelSize(13);
        found = found || QFontMetrics(f).inFontUcs4(c);
      }
      EXPECT_TRUE(found) << "U+" << std::hex << std::uint32_t(c);
    }
  }
}

TEST_F(SettingsWidgetTest, ResetRestoresTimingsAndCollapseButKeepsTheOtherSwitches) {
  store->setHoverSamplingInterval(0.1);
  store->setHoverRevealDelay(0.5);
  store->setHoverCollapseDelay(1.0);
  store->collapseOnPointerExit.set(false);
  store->showLabels.set(false);
  store->shortcutEnabled.set(false);
  store->expandOnHover.set(true);
  store->hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  open();
  auto* page = view->generalPage();
  auto* hover = page->hoverControls();
  click(page->resetButton());
  EXPECT_EQ(hover->valueLabel(HoverTiming::samplingInterval)->text(), QStringLiteral("50 毫秒"));
  EXPECT_EQ(hover->valueLabel(HoverTiming::revealDelay)->text(), QStringLiteral("150 毫秒"));
  EXPECT_EQ(hover->valueLabel(HoverTiming::collapseDelay)->text(), QStringLiteral("400 毫秒"));
  EXPECT_TRUE(hover->collapseToggle()->isChecked());
  EXPECT_FALSE(page->showLabelsToggle()->isChecked());
  EXPECT_FALSE(page->shortcutToggle()->isChecked());
  EXPECT_TRUE(hover->expandToggle()->isChecked());
  EXPECT_TRUE(hover->methodButton(HoverDetectionMethod::eventDriven)->isChecked());
}

TEST_F(SettingsWidgetTest, HoverControlsEnableWhatApplies) {
  store->hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  open();
  auto* hover = view->generalPage()->hoverControls();
  auto enabled = [](QWidget* w) { return w->isEnabledTo(w->window()) && w->isEnabled(); };
  // Hover off: the expansion group is off and dimmed; the method and the collapse controls work.
  EXPECT_FALSE(enabled(hover->timingRow(HoverTiming::samplingInterval)));
  EXPECT_FALSE(enabled(hover->timingRow(HoverTiming::revealDelay)));
  EXPECT_FALSE(enabled(hover->expansionNote()));
  EXPECT_TRUE(enabled(hover->methodButton(HoverDetectionMethod::polling)));
  EXPECT_TRUE(enabled(hover->collapseToggle()));
  EXPECT_TRUE(enabled(hover->timingRow(HoverTiming::collapseDelay)));
  EXPECT_DOUBLE_EQ(effectiveDimming(hover->intervalNote()), 0.3025);
  EXPECT_TRUE(hover->intervalNote()->isVisibleTo(hover));

  hover->expandToggle()->click();
  click(hover->methodButton(HoverDetectionMethod::polling));
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::polling);
  EXPECT_FALSE(hover->intervalNote()->isVisibleTo(hover));
  EXPECT_TRUE(enabled(hover->timingRow(HoverTiming::samplingInterval)));
  EXPECT_EQ(effectiveDimming(hover->timingRow(HoverTiming::samplingInterval)), 1);

  hover->collapseToggle()->click();
  settle();
  EXPECT_FALSE(enabled(hover->timingRow(HoverTiming::collapseDelay)));
  EXPECT_DOUBLE_EQ(effectiveDimming(hover->timingRow(HoverTiming::collapseDelay)), 0.55);
  EXPECT_TRUE(enabled(hover->timingRow(HoverTiming::revealDelay)));
  EXPECT_TRUE(enabled(hover->timingRow(HoverTiming::samplingInterval)));
}

TEST_F(SettingsWidgetTest, SlidersMovedByTheUserWriteOnTheirTicksAndPersist) {
  store->expandOnHover.set(true);
  open();
  auto* hover = view->generalPage()->hoverControls();
  struct Case {
    HoverTiming timing;
    const char* key;
    const char *low, *oneStep, *high;
    double highSeconds;
  };
  for (auto c : {Case{HoverTiming::revealDelay, MenuBarStore::hoverRevealDelayKey, "50 毫秒", "100 毫秒", "1000 毫秒", 1.0},
                 Case{HoverTiming::collapseDelay, MenuBarStore::hoverCollapseDelayKey, "200 毫秒", "300 毫秒", "2000 毫秒", 2.0},
                 Case{HoverTiming::samplingInterval, MenuBarStore::hoverSamplingIntervalKey, "20 毫秒", "30 毫秒", "200 毫秒", 0.2}}) {
    auto* slider = hover->slider(c.timing);
    auto* value = hover->valueLabel(c.timing);
    QTest::keyClick(slider, Qt::Key_Home);
    settle();
    EXPECT_EQ(value->text(), QString::fromUtf8(c.low));
    QTest::keyClick(slider, Qt::Key_Right);
    settle();
    EXPECT_EQ(value->text(), QString::fromUtf8(c.oneStep));
    QTest::keyClick(slider, Qt::Key_End);
    settle();
    EXPECT_EQ(value->text(), QString::fromUtf8(c.high));
    EXPECT_EQ(defaults->number(c.key), c.highSeconds);
  }
}

TEST_F(SettingsWidgetTest, AnOffGridStoredTimingSurvivesOpeningThePage) {
  defaults->set(MenuBarStore::hoverRevealDelayKey, 0.123);
  store = std::make_unique<MenuBarStore>(*defaults, login, capture);
  open();
  auto* hover = view->generalPage()->hoverControls();
  EXPECT_EQ(hover->valueLabel(HoverTiming::revealDelay)->text(), QStringLiteral("123 毫秒"));
  store->setHoverCollapseDelay(0.7);  // a re-read of every row
  settle();
  EXPECT_EQ(store->hoverRevealDelay.get(), 0.123);
  EXPECT_EQ(defaults->number(MenuBarStore::hoverRevealDelayKey), 0.123);

  store->hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  click(hover->resetButton());
  EXPECT_EQ(hover->valueLabel(HoverTiming::revealDelay)->text(), QStringLiteral("150 毫秒"));
  EXPECT_TRUE(store->collapseOnPointerExit.get());
  EXPECT_FALSE(store->expandOnHover.get());
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::eventDriven);
}

// A wheel turned over a control, as the person's pointer would send it; true when the control kept it.
bool wheelOver(QWidget* control) {
  const QPointF at = QRectF(control->rect()).center();
  QWheelEvent wheel(at, control->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(control, &wheel);
  return wheel.isAccepted();
}

QStringList rowNames(SystemItemsPage* page);

TEST_F(SettingsWidgetTest, AWheelOverASliderOrAPickerIsLeftToThePageAndChangesNothing) {
  open();
  auto* hover = view->generalPage()->hoverControls();
  auto* slider = hover->slider(HoverTiming::collapseDelay);
  ASSERT_TRUE(slider->isEnabled());
  const int tick = slider->value();
  EXPECT_FALSE(wheelOver(slider));
  settle();
  EXPECT_EQ(slider->value(), tick);
  EXPECT_EQ(hover->valueLabel(HoverTiming::collapseDelay)->text(), QStringLiteral("400 毫秒"));
  EXPECT_EQ(store->hoverCollapseDelay.get(), 0.4);

  click(view->sidebarRow(SettingsSection::systemItems));
  auto* page = view->systemItemsPage();
  const auto before = store->items.get();
  EXPECT_FALSE(wheelOver(page->rows()[0].picker));
  settle();
  EXPECT_TRUE(store->items.get() == before);
  EXPECT_EQ(rowNames(page).first(), QStringLiteral("Wi-Fi"));
}

QStringList rowNames(SystemItemsPage* page) {
  QStringList names;
  for (const auto& row : page->rows()) names.append(row.name->text());
  return names;
}

TEST_F(SettingsWidgetTest, SystemItemRowsMoveThroughTheStoreOnlyForANewPlace) {
  open();
  click(view->sidebarRow(SettingsSection::systemItems));
  auto* page = view->systemItemsPage();
  EXPECT_EQ(rowNames(page).join(","), QStringLiteral("Wi-Fi,专注模式,VPN,声音,AirDrop,蓝牙,电池,时间机器"));
  saveScreenshot(render(*view), QStringLiteral("settings-system-items"));

  auto choose = [&](const QString& name, ItemVisibility place) {
    for (const auto& row : page->rows()) {
      if (row.name->text() != name) continue;
      row.picker->setCurrentIndex(static_cast<int>(place));
      Q_EMIT row.picker->activated(static_cast<int>(place));
      settle();
      return;
    }
    ADD_FAILURE() << "no row " << name.toStdString();
  };
  choose(QStringLiteral("Wi-Fi"), ItemVisibility::hidden);
  EXPECT_EQ(rowNames(page).join(","), QStringLiteral("声音,专注模式,VPN,电池,AirDrop,蓝牙,Wi-Fi,时间机器"));
  auto data = defaults->data(MenuBarStore::itemsKey);
  ASSERT_TRUE(data.has_value());
  auto saved = MenuBarItem::decodeList(std::string(data->begin(), data->end()));
  ASSERT_TRUE(saved.has_value());
  auto wifi = std::find_if(saved->begin(), saved->end(), [](const auto& item) { return item.name == "Wi-Fi"; });
  EXPECT_EQ(wifi->visibility, ItemVisibility::hidden);
  EXPECT_EQ(wifi->order, 2);

  const auto before = store->items.get();
  choose(QStringLiteral("Wi-Fi"), ItemVisibility::hidden);
  EXPECT_EQ(store->items.get(), before);
}

TEST_F(SettingsWidgetTest, SystemItemRowsFollowTheSearchAndTintTheirSymbols) {
  auto items = MenuBarStore::sampleItems();
  items[0].tintHex = "#FF0000";
  store->items.set(items);
  open();
  click(view->sidebarRow(SettingsSection::systemItems));
  auto* page = view->systemItemsPage();
  auto* symbol = page->rows()[0].symbol;
  EXPECT_EQ(symbol->color().name(), QStringLiteral("#000000")) << symbol->symbol().toStdString();
  store->searchText.set("wi");
  settle();
  EXPECT_EQ(rowNames(page), QStringList{QStringLiteral("Wi-Fi")});
  store->searchText.set("zz");
  settle();
  EXPECT_TRUE(page->rows().empty());
}

}  // namespace
}  // namespace vimbo::views::testing
