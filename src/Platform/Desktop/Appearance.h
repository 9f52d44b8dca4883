#pragma once
// The host's fixed look, the same on every machine: Fusion style with the view kit's tool tips
// (ViewKit.h), a fixed palette, and fonts named
// explicitly (Noto Sans CJK SC for Chinese, DejaVu Sans for the ⌃ ⌥ ↵ glyphs Noto lacks), in pixel
// sizes only, so rendering does not depend on the desktop theme, LANG or fontconfig defaults. Qt's
// own texts are its Simplified Chinese translations.

#include <QFont>

class QApplication;

namespace vimbo::desktop {

// The two families in fallback order.
QStringList fontFamilies();
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);
void configureApplication(QApplication& app);

}  // namespace vimbo::desktop
