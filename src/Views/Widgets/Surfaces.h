#pragma once
// Plain surfaces of the kit: a rounded fill that holds a layout, a hairline divider, a caption
// notice on a rounded fill (an empty list) and a large symbol over a title (no content).

#include <QColor>
#include <QWidget>

namespace vimbo::views {

class TextLabel;

class FilledBox : public QWidget {
  Q_OBJECT

 public:
  FilledBox(const QColor& fill, double radius, QWidget* parent = nullptr);
  void setFill(const QColor& fill);
  const QColor& fill() const { return fill_; }
  // An inner stroke; an invalid colour draws none.
  void setStroke(const QColor& color, double width);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor fill_;
  double radius_;
  QColor stroke_;
  double strokeWidth_ = 0;
};

// A one-point line in the separator colour at `opacity`.
class Divider : public QWidget {
  Q_OBJECT

 public:
  explicit Divider(double opacity, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  double opacity_;
};

// A caption in the tertiary colour, centred on a rounded quaternary fill.
class NoticeBox : public FilledBox {
  Q_OBJECT

 public:
  NoticeBox(const QString& text, int minimumHeight, QWidget* parent = nullptr);
  TextLabel* label() const { return label_; }

 private:
  TextLabel* label_;
};

// A large symbol over a title, centred: a list with nothing to show.
class UnavailableContent : public QWidget {
  Q_OBJECT

 public:
  UnavailableContent(const QString& symbol, const QString& title, QWidget* parent = nullptr);
  TextLabel* title() const { return title_; }

 private:
  TextLabel* title_;
};

}  // namespace vimbo::views
