// The shared view kit: symbols, the toast's motion and timing, the spinner's idle cost, plain text
// and the item glyph.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QUuid>
#include <chrono>

#include "Platform/Runtime/Executor.h"
#include "Views/Widgets/CapturedMenuBarGlyph.h"
#include "Views/Widgets/CapturedMenuBarSearchRow.h"
#include "Views/Widgets/CoalescedTurn.h"
#include "Views/Widgets/Spinner.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/Toast.h"
#include "WidgetTestSupport.h"

using namespace vimbo;
using namespace vimbo::views;
using namespace vimbo::views::testing;
using namespace std::chrono_literals;

namespace {

int opaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 0;
  return n;
}

struct KitTest : ::testing::Test {
  desktop::testing::AppFirst app;
};

}  // namespace

TEST_F(KitTest, EverySymbolDrawsAPictureAndUnknownNamesDrawNothing) {
  for (const QString& name : SymbolCatalog::names()) {
    QImage image = SymbolCatalog::image(name, 16, theme::primary());
    ASSERT_FALSE(image.isNull()) << name.toStdString() << " (is the icon theme installed?)";
    EXPECT_GT(opaquePixels(image), 10) << name.toStdString();
  }
  EXPECT_TRUE(SymbolCatalog::image(QStringLiteral("no.such.symbol"), 16, theme::primary()).isNull());

  // A sheet of every symbol at 16 and 32 points, for a person to look at.
  const QStringList& names = SymbolCatalog::names();
  QImage sheet(8 * 48, int((names.size() + 7) / 8) * 48, QImage::Format_ARGB32_Premultiplied);
  sheet.fill(Qt::white);
  QPainter p(&sheet);
  for (int i = 0; i < names.size(); ++i) {
    QPoint cell((i % 8) * 48, (i / 8) * 48);
    SymbolCatalog::draw(p, QRectF(cell + QPoint(2, 2), QSizeF(16, 16)), names[i], theme::primary());
    SymbolCatalog::draw(p, QRectF(cell + QPoint(14, 14), QSizeF(32, 32)), names[i], theme::accent());
  }
  p.end();
  saveScreenshot(sheet, "symbols");
}

TEST_F(KitTest, ScreenshotsLandInTheBuildTreeWhateverTheWorkingFolder) {
  QTemporaryDir elsewhere;
  ASSERT_TRUE(elsewhere.isValid());
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
  QImage probe(4, 4, QImage::Format_ARGB32_Premultiplied);
  probe.fill(Qt::white);
  // A name of its own: copies of this binary run side by side share the folder.
  const QString name = QStringLiteral("working-folder-probe-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
  saveScreenshot(probe, name);
  QDir::setCurrent(before);
  EXPECT_FALSE(QDir(elsewhere.path()).exists(QStringLiteral("screenshots")));
  const QString saved = screenshotFolder() + QStringLiteral("/") + name + QStringLiteral(".png");
  EXPECT_TRUE(QFileInfo::exists(saved));
  QFile::remove(saved);
}

TEST(CoalescedTurnTest, ABurstOfRequestsRunsOnceOnALaterTurnAndNothingAfterItsOwnerIsGone) {
  async::VirtualExecutor ex;
  int runs = 0;
  auto later = std::make_unique<CoalescedTurn>(ex, [&] { ++runs; });
  later->request();
  later->request();
  EXPECT_EQ(runs, 0);
  ex.runFor(0ms);
  EXPECT_EQ(runs, 1);
  later->request();  // a new burst after the run
  ex.runFor(0ms);
  EXPECT_EQ(runs, 2);
  later->request();
  later.reset();
  ex.runFor(0ms);
  EXPECT_EQ(runs, 2);
}

TEST_F(KitTest, ThemeSymbolsTakeTheAskedColour) {
  QImage image = SymbolCatalog::image(QStringLiteral("magnifyingglass"), 24, QColor(255, 0, 0));
  bool sawRed = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.alpha() < 200) continue;
      EXPECT_GT(c.red(), 240);
      EXPECT_LT(c.green() + c.blue(), 20);
      sawRed = true;
    }
  EXPECT_TRUE(sawRed);
}

TEST_F(KitTest, ToastFadesInAndOutOnItsAnimation) {
  async::VirtualExecutor ex;
  QWidget host;
  host.resize(388, 590);
  Toast toast(ex, ToastStyle::manager(), &host);
  toast.showMessage(QStringLiteral("时钟由 macOS 固定，无法收纳"));
  ASSERT_EQ(toast.animation().duration(), 160);
  toast.animation().setCurrentTime(80);
  EXPECT_GT(toast.opacity(), 0);
  EXPECT_LT(toast.opacity(), 1);
  EXPECT_GT(toast.offset(), 0);
  toast.animation().setCurrentTime(160);
  EXPECT_EQ(toast.opacity(), 1);
  EXPECT_EQ(toast.offset(), 0);
  // Resting 54 above the host's bottom edge.
  EXPECT_NEAR(host.height() - toast.geometry().bottom(), 54 - 12, 2);

  ex.runFor(1800ms);
  EXPECT_TRUE(toast.message().isEmpty());
  ASSERT_EQ(toast.animation().duration(), 180);
  toast.animation().setCurrentTime(180);
  EXPECT_EQ(toast.opacity(), 0);
  EXPECT_TRUE(toast.isHidden());
}

TEST_F(KitTest, ToastHidesOnlyAfterTheLatestMessagesTime) {
  MotionOff still;
  async::VirtualExecutor ex;
  QWidget host;
  host.resize(300, 200);
  auto toast = std::make_unique<Toast>(ex, ToastStyle::layoutEditor(), &host);
  toast->showMessage(QStringLiteral("一"));
  EXPECT_TRUE(toast->isVisibleTo(&host));
  EXPECT_EQ(toast->opacity(), 1);
  ex.runFor(1000ms);
  toast->showMessage(QStringLiteral("二"));
  EXPECT_EQ(toast->message(), QStringLiteral("二"));
  ex.runFor(1500ms);  // 2.5 s: the first timer has run and found a newer message
  EXPECT_EQ(toast->message(), QStringLiteral("二"));
  ex.runFor(300ms);  // 2.8 s
  EXPECT_TRUE(toast->message().isEmpty());
  EXPECT_FALSE(toast->isVisibleTo(&host));

  toast->showMessage(QStringLiteral("三"));
  toast.reset();  // a timer that outlives its toast does nothing
  ex.runFor(2s);
}

TEST_F(KitTest, SpinnerTurnsOnlyWhileShownAndMotionIsOn) {
  QWidget host;
  auto* spinner = new Spinner(16, &host);
  spinner->hide();
  host.show();
  EXPECT_FALSE(spinner->isSpinning());
  spinner->show();
  EXPECT_TRUE(spinner->isSpinning());
  host.hide();
  EXPECT_FALSE(spinner->isSpinning());
  MotionOff still;
  host.show();
  EXPECT_FALSE(spinner->isSpinning());
}

TEST_F(KitTest, PlainTextHelpersNeverReadMarkup) {
  const QString hostile = QStringLiteral("<b>x</b><img src=\"file:///etc/passwd\">");
  QLabel* label = plainLabel(hostile, font(12), theme::primary());
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  QWidget w;
  setPlainToolTip(&w, hostile);
  QTextDocument doc;
  doc.setHtml(w.toolTip());
  EXPECT_EQ(doc.toPlainText(), hostile);
  delete label;
}

TEST_F(KitTest, ToolTipsArePlainLinesNoWiderThanTheToolTipWidth) {
  const QString name = QStringLiteral("Lumen Notes 专业版：") + QString(60, QChar(0x957F)) + QStringLiteral(" <b>Teams</b>");
  QTextDocument doc;
  doc.setHtml(toolTipMarkup(name));
  const QStringList lines = doc.toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n')).split(QLatin1Char('\n'));
  EXPECT_GT(lines.size(), 2);
  for (const QString& line : lines) EXPECT_LE(QFontMetrics(toolTipFont()).horizontalAdvance(line), kToolTipWidth);
  EXPECT_EQ(lines.join(QString()).remove(QLatin1Char(' ')), QString(name).remove(QLatin1Char(' ')));
}

// MARK: The item glyph

namespace {

CapturedMenuBarItem item(std::string windowName, platform::ImageRef image) {
  CapturedMenuBarItem i;
  i.id = 7;
  i.windowName = std::move(windowName);
  i.name = "x";
  i.image = std::move(image);
  return i;
}

// The glyph in the middle of a white 100 x 60 canvas, its slot at (35, 15).
QImage onCanvas(const CapturedMenuBarItem& it, double slotWidth) {
  QWidget canvas;
  canvas.resize(100, 60);
  canvas.setAutoFillBackground(true);
  QPalette p = canvas.palette();
  p.setColor(QPalette::Window, Qt::white);
  canvas.setPalette(p);
  auto* glyph = new CapturedMenuBarGlyph(it, slotWidth, &canvas);
  glyph->move(35, 15);
  return render(canvas);
}

}  // namespace

TEST_F(KitTest, GlyphChoosesClockSymbolDotsOrPicture) {
  auto picture = solidImage(16, 16, 0x000000FF, true);
  EXPECT_EQ(capturedMenuBarGlyph(item("Clock", picture)).symbol, "clock");
  EXPECT_EQ(capturedMenuBarGlyph(item("Item-0", nullptr)).symbol, "circle.grid.2x2.fill");
  GlyphContent bento = capturedMenuBarGlyph(item("BentoBox-0", picture));
  EXPECT_FALSE(bento.isSymbol());
  EXPECT_EQ(bento.image, picture);
  CapturedMenuBarGlyph widget(item("Item-0", picture), 30);
  EXPECT_EQ(widget.size(), QSize(30, 29));
}

TEST_F(KitTest, GlyphCutsALargePictureAtTheSlotEdges) {
  QImage shot = onCanvas(item("Item-0", solidImage(60, 40, 0xFF0000FF, false)), 30);
  saveScreenshot(shot, "glyph-clipped");
  QRect slot(35, 15, 30, 29);
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      bool red = shot.pixelColor(x, y) == QColor(255, 0, 0);
      EXPECT_EQ(red, slot.contains(x, y)) << x << "," << y;
      if (red != slot.contains(x, y)) return;
    }
}

TEST_F(KitTest, GlyphTintsTemplatesAndKeepsColouredPictures) {
  QImage templ = onCanvas(item("Item-0", solidImage(10, 10, 0xFF0000FF, true)), 30);
  EXPECT_TRUE(near(templ.pixelColor(50, 29), overWhite(theme::primary())));
  QImage coloured = onCanvas(item("Item-0", solidImage(10, 10, 0x00C000FF, false)), 30);
  EXPECT_EQ(coloured.pixelColor(50, 29), QColor(0, 0xC0, 0));
}

TEST_F(KitTest, SearchRowWithoutOwnerCentresItsNameAndTakesClicksInTheGap) {
  test_support::FakeWorkspace workspace;
  CapturedMenuBarSearchRow row(workspace);
  CapturedMenuBarItem it = item("Item-0", solidImage(16, 16, 0x000000FF, true));
  it.name = "剪贴板";
  it.ownerName = "";
  row.setItem(it);
  int activations = 0;
  row.setOnActivate([&] { ++activations; });
  row.resize(356, CapturedMenuBarSearchRow::rowHeight);
  ASSERT_EQ(row.height(), 42);
  EXPECT_TRUE(row.displayedOwner().isEmpty());

  // The name's ink, left of the glyph, sits in the middle of the row.
  QImage shot = render(row);
  int top = shot.height(), bottom = -1;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 46; x < 200; ++x)
      if (shot.pixelColor(x, y).lightness() < 120) {
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  ASSERT_GE(bottom, top);
  EXPECT_NEAR((top + bottom) / 2.0, 21, 3);

  QTest::mouseClick(&row, Qt::LeftButton, {}, QPoint(280, 21));  // between the name and the glyph
  EXPECT_EQ(activations, 1);
}
