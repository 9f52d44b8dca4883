#pragma once
// The stand-in content of our windows until their real views exist: lines of plain text, one
// widget per line, rebuilt whenever the store says what they show has changed.

#include <QWidget>
#include <string>
#include <vector>

#include "Platform/Runtime/Property.h"

class QLabel;
class QVBoxLayout;

namespace vimbo::views {

class PlaceholderList : public QWidget {
 public:
  struct Line {
    std::string text;
    bool dimmed = false;
    bool highlighted = false;  // the selected row
  };

  explicit PlaceholderList(QWidget* parent = nullptr);
  void setLines(const std::vector<Line>& lines);
  // Subscriptions that feed this list end with it.
  void keep(async::Subscription subscription) { subscriptions_.push_back(std::move(subscription)); }

  int lineCount() const { return static_cast<int>(labels_.size()); }
  QLabel* line(int index) const;

 private:
  QVBoxLayout* layout_;
  std::vector<QLabel*> labels_;
  std::vector<async::Subscription> subscriptions_;
};

}  // namespace vimbo::views
