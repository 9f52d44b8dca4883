#pragma once
// The system-items page (the store's own item rows with a position picker each) and the about
// page. Neither keeps state: the rows are redrawn from the store.

#include <QWidget>
#include <vector>

#include "Store/MenuBarStore.h"
#include "Views/SystemItemsModel.h"

class QComboBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;

namespace vimbo::views {

class SymbolView;

class SystemItemsPage : public QWidget {
 public:
  SystemItemsPage(MenuBarStore& store, QWidget* parent = nullptr);

  void sync();

  struct Row {
    QWidget* widget = nullptr;
    SymbolView* symbol = nullptr;
    QLabel* name = nullptr;
    QComboBox* picker = nullptr;
    SystemItemRow model;
  };
  const std::vector<Row>& rows() const { return rows_; }

 private:
  void rebuild(std::vector<SystemItemRow> models);

  MenuBarStore& store_;
  QScrollArea* list_ = nullptr;
  QVBoxLayout* listColumn_ = nullptr;
  std::vector<Row> rows_;
  std::vector<SystemItemRow> shown_;
};

class AboutPage : public QWidget {
 public:
  explicit AboutPage(QWidget* parent = nullptr);
};

}  // namespace vimbo::views
