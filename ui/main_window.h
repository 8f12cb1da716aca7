#pragma once

#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace ui {

// The program's one window: the list view, the log box and the two buttons at fixed places.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(std::function<void()> start_clicked);

  QTreeWidget* list_view() const { return list_view_; }
  QPlainTextEdit* log_box() const { return log_box_; }
  QPushButton* clear_button() const { return clear_button_; }
  QPushButton* start_button() const { return start_button_; }

  void append(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QTreeWidget* list_view_;
  QPlainTextEdit* log_box_;
  QPushButton* clear_button_;
  QPushButton* start_button_;
};

}  // namespace ui
