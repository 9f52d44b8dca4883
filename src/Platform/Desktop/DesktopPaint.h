#pragma once
// Painting the simulated desktop from a scene, in world points (the painter's transform places
// it): the wallpaper below every window, and the menu bar, menus and a drag above our windows,
// whose levels are all below the bar's. Pictures are drawn at the pixel size they cover, so they
// stay crisp at every scale.

#include <QImage>
#include <map>
#include <tuple>

#include "Platform/Desktop/DesktopScene.h"

class QPainter;

namespace vimbo::desktop {

// Pictures rendered for a pixel size, kept while they are in use.
class PictureCache {
 public:
  QImage itemPicture(const sim::Picture& picture, Size points, int pixelWidth, int pixelHeight);
  // Our own items' images; template images in the bar's ink.
  QImage ownImage(const platform::ImageRef& image, int pixelWidth, int pixelHeight);
  void clear() { pictures_.clear(), images_.clear(); }

 private:
  std::map<std::tuple<uint32_t, std::string, std::string, double, double, int, int>, QImage> pictures_;
  std::map<std::tuple<const platform::Image*, int, int>, std::pair<platform::ImageRef, QImage>> images_;
};

// Wallpaper, the re-open icon: everything under our windows.
void paintDesktop(QPainter& painter, const Scene& scene);
// The menu bar with the front application's menus and the status items, the notch, open menus,
// a dragged item and where it would land: everything over our windows.
void paintOverWindows(QPainter& painter, const Scene& scene, PictureCache& pictures);

// The items a person sees: on a display with a notch only those right of it (the bar has no
// room left of the notch); the rest of the scene's items stand hidden.
bool isItemShown(const Scene& scene, const SceneItem& item);

QRectF qrect(const Rect& r);

}  // namespace vimbo::desktop
