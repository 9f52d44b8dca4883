#pragma once
// The kit's plain button: a symbol, a text or both, optionally on a rounded fill or as a small
// bordered button. It highlights under the pointer, dims while held, and draws at a reduced
// opacity when disabled. Clicks act on release, as a desktop button does.

#include <QAbstractButton>
#include <QColor>
#include <QFont>

namespace vimbo::views {

class PlainButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PlainButton(QWidget* parent = nullptr);

  void setSymbol(const QString& name, int size);
  const QString& symbol() const { return symbol_; }
  // The text takes `font`; setText() is the usual QAbstractButton one.
  void setTextFont(const QFont& font);
  void setForeground(const QColor& color);
  const QColor& foreground() const { return foreground_; }
  // A rounded fill behind the content; an invalid colour draws none.
  void setBackground(const QColor& fill, double radius);
  const QColor& background() const { return background_; }
  // A small push button: a white face with a hairline border.
  void setBordered(bool bordered);
  void setPadding(int horizontal, int vertical);
  void setSpacing(int spacing);
  void setDisabledOpacity(double opacity);
  // Plain text, never markup.
  void setPlainToolTip(const QString& text);
  // Content centred in a box of this size, whatever it holds.
  void setBoxSize(QSize size);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  QSize contentSize() const;

  QString symbol_;
  int symbolSize_ = 14;
  QColor foreground_;
  QColor background_;
  double radius_ = 6;
  bool bordered_ = false;
  int paddingX_ = 4;
  int paddingY_ = 3;
  int spacing_ = 5;
  double disabledOpacity_ = 0.55;
  QSize boxSize_;
};

}  // namespace vimbo::views
