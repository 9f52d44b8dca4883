// Qt's own texts read in Chinese like ours, whatever the machine's locale: a text field's context
// menu and the standard buttons of a message box.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "QtTestApp.h"

namespace vimbo::desktop::testing {
namespace {

bool hasHan(const QString& text) {
  for (QChar c : text)
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
  return false;
}

TEST(QtOwnTexts, ATextFieldsContextMenuAndTheStandardButtonsAreChinese) {
  AppFirst app;
  QLineEdit field(QStringLiteral("番茄钟"));
  std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
  QStringList entries;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) entries << action->text();
  ASSERT_GE(entries.size(), 5) << entries.join(u'|').toStdString();  // undo, redo, cut, copy, paste, …
  for (const QString& entry : entries) EXPECT_TRUE(hasHan(entry)) << entry.toStdString();

  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  for (auto which : {QMessageBox::Ok, QMessageBox::Cancel}) {
    const QString text = box.button(which)->text();
    EXPECT_TRUE(hasHan(text)) << text.toStdString();
  }
}

}  // namespace
}  // namespace vimbo::desktop::testing
