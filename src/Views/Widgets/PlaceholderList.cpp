#include "Views/Widgets/PlaceholderList.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vimbo::views {

namespace {
constexpr int kLineHeight = 22;
const QColor kDimmed(0x8E, 0x8E, 0x93);
}  // namespace

PlaceholderList::PlaceholderList(QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this)) {
  layout_->setContentsMargins(16, 16, 16, 16);
  layout_->setSpacing(0);
  layout_->addStretch(1);
  setAutoFillBackground(true);
}

void PlaceholderList::setLines(const std::vector<Line>& lines) {
  for (QLabel* label : labels_) delete label;
  labels_.clear();
  for (const Line& line : lines) {
    auto* label = new QLabel(this);
    // Another application's item name is not markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromStdString(line.text));
    label->setFixedHeight(kLineHeight);
    label->setObjectName(QStringLiteral("line%1").arg(labels_.size()));
    if (line.dimmed) {
      QPalette p = label->palette();
      p.setColor(QPalette::WindowText, kDimmed);
      label->setPalette(p);
    }
    if (line.highlighted) {
      QPalette p = label->palette();
      p.setColor(QPalette::Window, p.color(QPalette::Highlight));
      p.setColor(QPalette::WindowText, p.color(QPalette::HighlightedText));
      label->setPalette(p);
      label->setAutoFillBackground(true);
      label->setProperty("highlighted", true);
    }
    layout_->insertWidget(static_cast<int>(labels_.size()), label);
    labels_.push_back(label);
  }
}

QLabel* PlaceholderList::line(int index) const {
  return index >= 0 && index < lineCount() ? labels_[static_cast<size_t>(index)] : nullptr;
}

}  // namespace vimbo::views
