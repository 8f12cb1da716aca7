#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <thread>
#include <vector>

#include "core/codepage.h"
#include "ui/toolkit.h"

namespace ui {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "ui_test";
    static char* argv[] = {name, nullptr};
    initialize(argc, argv);
    load_main_window({.created = [] { ++created_runs; }, .start_clicked = [] { ++clicks; }});
  }
  static void TearDownTestSuite() { shutdown(); }
  static MainWindow* window() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* main = qobject_cast<MainWindow*>(w)) return main;
    return nullptr;
  }
  static inline int created_runs = 0;
  static inline int clicks = 0;
};

TEST_F(MainWindowTest, ControlsStandWhereTheWindowDefinesThem) {
  MainWindow* main = window();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(created_runs, 1);
  EXPECT_EQ(main->pos(), QPoint(50, 50));
  EXPECT_EQ(main->size(), QSize(922, 615));
  EXPECT_TRUE(main->windowTitle().isEmpty());
  EXPECT_EQ(main->list_view()->geometry(), QRect(8, 8, 584, 528));
  EXPECT_EQ(main->log_box()->geometry(), QRect(600, 8, 312, 528));
  EXPECT_EQ(main->clear_button()->geometry(), QRect(512, 552, 80, 24));
  EXPECT_EQ(main->start_button()->geometry(), QRect(776, 554, 134, 24));
  EXPECT_EQ(main->clear_button()->text(), QString::fromUtf8(u8"清空数据库"));
  EXPECT_EQ(main->start_button()->text(), QString::fromUtf8(u8"开始吧！奥利给！"));
  EXPECT_FALSE(main->log_box()->isReadOnly());
  EXPECT_TRUE(main->log_box()->toPlainText().isEmpty());
  ASSERT_EQ(column_count(), 1);
  EXPECT_EQ(column_title(0), core::gbk(u8"名称"));
  EXPECT_EQ(column_width(0), 100);
}

TEST_F(MainWindowTest, ColumnsByIndex) {
  const int before = column_count();
  insert_column(core::gbk(u8"蛋白质"), 200);
  ASSERT_EQ(column_count(), before + 1);
  EXPECT_EQ(column_width(before), 200);
  set_column_title(before, column_title(before) + "g");
  EXPECT_EQ(column_title(before), core::gbk(u8"蛋白质g"));
  EXPECT_EQ(column_title(before + 5), Text());
  set_column_title(before + 5, "x");  // no such column: nothing happens
  EXPECT_EQ(column_count(), before + 1);
}

TEST_F(MainWindowTest, ClearButtonDoesNothingStartButtonClicks) {
  const Text log_before = log_text();
  const int columns_before = column_count();
  click_button(0);
  EXPECT_EQ(log_text(), log_before);
  EXPECT_EQ(column_count(), columns_before);
  EXPECT_EQ(clicks, 0);
  click_button(1);
  EXPECT_EQ(clicks, 1);
}

TEST_F(MainWindowTest, AppendsFromWorkersAreCarriedOutWhole) {
  window()->log_box()->clear();
  std::vector<std::thread> workers;
  std::atomic<int> finished{0};
  for (int t = 0; t < 4; ++t)
    workers.emplace_back([t, &finished] {
      for (int i = 0; i < 50; ++i) append_to_log(Text::number(t) + "\r\n");
      ++finished;
    });
  while (finished < 4) delay_with_events(5);
  for (auto& w : workers) w.join();
  const auto lines = log_text().split("\r\n");
  EXPECT_EQ(lines.size(), 200u);
  for (const auto& line : lines) EXPECT_EQ(line.length(), 1);
}

}  // namespace
}  // namespace ui
