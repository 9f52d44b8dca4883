#include "Platform/Desktop/Appearance.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QPalette>
#include <QStyleFactory>
#include <QTranslator>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::desktop {

QStringList fontFamilies() { return {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")}; }

QFont uiFont(int pixelSize, QFont::Weight weight) {
  QFont f;
  f.setFamilies(fontFamilies());
  f.setPixelSize(pixelSize);
  f.setWeight(weight);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

void configureApplication(QApplication& app) {
  app.setStyle(views::houseStyle());
  QPalette p;
  p.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
  p.setColor(QPalette::WindowText, QColor(0x1D, 0x1D, 0x1F));
  p.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xFF));
  p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF7));
  p.setColor(QPalette::Text, QColor(0x1D, 0x1D, 0x1F));
  p.setColor(QPalette::Button, QColor(0xF2, 0xF2, 0xF2));
  p.setColor(QPalette::ButtonText, QColor(0x1D, 0x1D, 0x1F));
  p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
  p.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
  p.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(0xA0, 0xA0, 0xA5));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0xA0, 0xA0, 0xA5));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA0, 0xA0, 0xA5));
  app.setPalette(p);
  app.setFont(uiFont(13));
  views::installToolTips();
  app.setCursorFlashTime(0);  // still frames: no blinking caret
  QIcon::setThemeSearchPaths({QStringLiteral("/usr/share/icons")});
  QIcon::setThemeName(QStringLiteral("Adwaita"));
  // Qt's own texts (a text field's context menu, standard buttons) in Chinese like ours, whatever
  // the machine's locale.
  auto* qtTexts = new QTranslator(&app);
  if (qtTexts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(qtTexts);
  else
    delete qtTexts;
}

}  // namespace vimbo::desktop
