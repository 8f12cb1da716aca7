#include "ui/main_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include "core/codepage.h"

namespace ui {

void note_main_window_closing();  // toolkit.cpp

namespace {
QString from_utf8_literal(const char8_t* text) {
  return QString::fromUtf8(text);
}
}  // namespace

MainWindow::MainWindow(std::function<void()> start_clicked)
    : list_view_(new QTreeWidget(this)),
      log_box_(new QPlainTextEdit(this)),
      clear_button_(new QPushButton(from_utf8_literal(u8"清空数据库"), this)),
      start_button_(new QPushButton(from_utf8_literal(u8"开始吧！奥利给！"), this)) {
  setWindowTitle(QString());
  move(50, 50);
  resize(922, 615);

  list_view_->setGeometry(8, 8, 584, 528);
  list_view_->setRootIsDecorated(false);
  list_view_->setHeaderLabels({from_utf8_literal(u8"名称")});
  list_view_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
  list_view_->header()->setStretchLastSection(false);
  list_view_->setColumnWidth(0, 100);

  log_box_->setGeometry(600, 8, 312, 528);
  log_box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_box_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  log_box_->setMaximumBlockCount(0);
  log_box_->setReadOnly(false);
  log_box_->setUndoRedoEnabled(false);  // appends add no undo step

  clear_button_->setGeometry(512, 552, 80, 24);  // no action is bound to it
  start_button_->setGeometry(776, 554, 134, 24);
  connect(start_button_, &QPushButton::clicked, this, [start_clicked] {
    if (start_clicked) start_clicked();
  });
}

void MainWindow::append(const QString& text) {
  QTextCursor cursor = log_box_->textCursor();
  cursor.movePosition(QTextCursor::End);
  log_box_->setTextCursor(cursor);
  log_box_->insertPlainText(text);
  log_box_->ensureCursorVisible();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  note_main_window_closing();
  event->accept();
}

}  // namespace ui
