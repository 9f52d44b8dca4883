#pragma once
// A transient message on a capsule, overlaid at the bottom centre of its parent. It fades in and
// slides up from the parent's bottom edge (ease-out 0.16 s), and leaves the same way (ease-in
// 0.18 s) 1.8 s after the latest message; a new message replaces the text at once and restarts
// the 1.8 s. The 1.8 s run on the runtime's timers, the motion on Qt's clock.

#include <QString>
#include <QVariantAnimation>
#include <QWidget>
#include <memory>

#include "Views/TransientMessage.h"

namespace vimbo::views {

struct ToastStyle {
  double strokeOpacity = 0.14;
  double shadowOpacity = 0.15;
  double bottomDistance = 54;  // from the parent's bottom edge to the capsule's

  static ToastStyle manager() { return {0.14, 0.15, 54}; }
  static ToastStyle layoutEditor() { return {0.15, 0.18, 16}; }
};

class Toast : public QWidget {
  Q_OBJECT

 public:
  // The executor outlives the toast; the parent is the view it overlays.
  Toast(async::Executor& executor, ToastStyle style, QWidget* parent);
  // Shows the messages of a model's TransientMessage, shared with it.
  Toast(std::shared_ptr<TransientMessage> message, ToastStyle style, QWidget* parent);
  ~Toast() override;

  void showMessage(const QString& text);

  // The message up now, empty once it has been hidden (also while it leaves).
  QString message() const;
  // The text drawn, kept while the capsule leaves.
  const QString& text() const { return text_; }
  qreal opacity() const { return presence_; }
  // How far below its resting place the capsule stands, in points.
  qreal offset() const;
  // For tests that drive the motion's clock themselves.
  QVariantAnimation& animation() { return animation_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void present(const std::optional<std::string>& text);
  void setPresence(qreal presence);
  void place();
  QSize capsuleSize() const;

  ToastStyle style_;
  std::shared_ptr<TransientMessage> message_;
  QString text_;
  qreal presence_ = 0;
  bool leaving_ = false;
  QVariantAnimation animation_;
};

}  // namespace vimbo::views
