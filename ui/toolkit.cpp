#include "ui/toolkit.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/codepage.h"
#include "ui/main_window.h"

namespace ui {
namespace {

std::unique_ptr<QApplication> application;
std::thread::id gui_thread;
MainWindow* main_window = nullptr;  // owned by `window_owner`; null before load and after close
std::unique_ptr<MainWindow> window_owner;
std::vector<std::function<void()>> end_routines;
std::atomic<bool> window_closed{false};

// Workers waiting for the GUI thread to carry out their append.
std::mutex append_mutex;
std::condition_variable append_done;

bool on_gui_thread() {
  return std::this_thread::get_id() == gui_thread;
}

QString to_qstring(const Text& text) {
  const std::u16string utf16 = core::to_utf16(text);
  return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

Text from_qstring(const QString& text) {
  return core::utf16_to_gbk(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

// The box shows lines; CR LF pairs become single line breaks there.
QString for_display(const Text& text) {
  QString shown = to_qstring(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace

void note_main_window_closing() {
  {
    std::lock_guard<std::mutex> hold(append_mutex);
    window_closed = true;
  }
  append_done.notify_all();
}

void initialize(int& argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  gui_thread = std::this_thread::get_id();
  application = std::make_unique<QApplication>(argc, argv);
}

bool initialized() {
  return application != nullptr;
}

void shutdown() {
  main_window = nullptr;
  window_owner.reset();
  application.reset();
}

void register_end_routine(std::function<void()> routine) {
  end_routines.push_back(std::move(routine));
}

void load_main_window(WindowEvents events) {
  window_closed = false;
  window_owner = std::make_unique<MainWindow>(std::move(events.start_clicked));
  main_window = window_owner.get();
  main_window->setAttribute(Qt::WA_QuitOnClose, true);
  // No click may reach a button before the creation handler has run, even though the handler
  // lets pending events through while it downloads.
  main_window->clear_button()->setEnabled(false);
  main_window->start_button()->setEnabled(false);
  main_window->show();
  if (events.created) events.created();
  if (main_window) {
    main_window->clear_button()->setEnabled(true);
    main_window->start_button()->setEnabled(true);
  }
}

int run_message_loop() {
  const int code = window_closed ? 0 : application->exec();
  for (auto& routine : end_routines) routine();
  end_routines.clear();
  main_window = nullptr;
  window_owner.reset();
  return code;
}

void run_soon(std::function<void()> routine, int delay_ms) {
  QTimer::singleShot(delay_ms, application.get(), std::move(routine));
}

void close_main_window() {
  if (main_window) main_window->close();
}

bool main_window_closed() {
  return window_closed;
}

void append_to_log(const Text& text) {
  if (!application) return;
  if (on_gui_thread()) {
    if (main_window) main_window->append(for_display(text));
    return;
  }
  auto done = std::make_shared<bool>(false);  // guarded by append_mutex
  QString shown = for_display(text);
  QMetaObject::invokeMethod(
      application.get(),
      [shown, done] {
        if (main_window && !window_closed) main_window->append(shown);
        {
          std::lock_guard<std::mutex> hold(append_mutex);
          *done = true;
        }
        append_done.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> wait(append_mutex);
  append_done.wait(wait, [&] { return *done || window_closed; });
}

void insert_column(const Text& title, int width) {
  if (!main_window) return;
  QTreeWidget* view = main_window->list_view();
  const int index = view->columnCount();
  view->setColumnCount(index + 1);
  view->headerItem()->setText(index, to_qstring(title));
  view->setColumnWidth(index, width);
}

Text column_title(int index) {
  if (!main_window || index < 0 || index >= main_window->list_view()->columnCount()) return {};
  return from_qstring(main_window->list_view()->headerItem()->text(index));
}

void set_column_title(int index, const Text& title) {
  if (!main_window || index < 0 || index >= main_window->list_view()->columnCount()) return;
  main_window->list_view()->headerItem()->setText(index, to_qstring(title));
}

int column_count() {
  return main_window ? main_window->list_view()->columnCount() : 0;
}

int column_width(int index) {
  return main_window ? main_window->list_view()->columnWidth(index) : 0;
}

Text log_text() {
  if (!main_window) return {};
  QString text = main_window->log_box()->toPlainText();
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return from_qstring(text);
}

void click_button(int which) {
  if (!main_window) return;
  QPushButton* button = which == 0 ? main_window->clear_button() : main_window->start_button();
  button->click();
}

std::string program_directory() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string full(path, static_cast<std::size_t>(n));
  const auto slash = full.rfind('/');
  return slash == 0 ? std::string("/") : full.substr(0, slash);
}

void process_pending_events() {
  if (application && on_gui_thread()) QCoreApplication::processEvents();
}

void delay_with_events(int milliseconds) {
  if (milliseconds < 0) milliseconds = 0;
  if (application && on_gui_thread()) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return;
  }
  std::unique_lock<std::mutex> wait(append_mutex);
  append_done.wait_for(wait, std::chrono::milliseconds(milliseconds),
                       [] { return window_closed.load(); });
}

}  // namespace ui
