#pragma once
// One line of plain text that ends in "…" when it does not fit. Text from other applications is
// never read as markup; the line is drawn on a whole-pixel baseline with room for descenders.

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace vimbo::views {

class TextLabel : public QWidget {
  Q_OBJECT

 public:
  TextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

  void setText(const QString& text);
  const QString& text() const { return text_; }
  // What is drawn at the current width.
  QString displayedText() const;
  void setColor(const QColor& color);
  const QColor& color() const { return color_; }
  void setTextFont(const QFont& font);
  void setAlignment(Qt::Alignment alignment);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString text_;
  QColor color_;
  Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

}  // namespace vimbo::views
