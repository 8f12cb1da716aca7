#pragma once

#include <functional>
#include <string>

#include "core/text.h"

// The window system as the rest of the program sees it: one main window with a list view, a log
// box and two buttons, its events and message loop, and a few services. Everything here runs on
// the GUI thread (the thread that called initialize) unless it says otherwise. No toolkit type
// crosses this interface; text is the system's GBK Text.
namespace ui {

using core::Text;

struct WindowEvents {
  std::function<void()> created;        // once, after the controls exist, before any click
  std::function<void()> start_clicked;  // the start button
};

// Lets the toolkit initialise itself; consumes its own command-line options (such as
// "-platform offscreen"). Without a display it runs offscreen. Call once, first.
void initialize(int& argc, char** argv);
// True between initialize and shutdown.
bool initialized();
// Destroys the window and the toolkit; safe to call more than once.
void shutdown();

// A routine to run once after the message loop has ended, before the process ends.
void register_end_routine(std::function<void()> routine);

// Builds the main window and its controls, shows it and runs `events.created`. The buttons take
// no click until the creation handler has returned.
void load_main_window(WindowEvents events);

// Runs until the main window is closed, then the end routines; returns the exit code.
int run_message_loop();

// Queues `routine` to run on the GUI thread once the message loop is running, after at least
// `delay_ms`.
void run_soon(std::function<void()> routine, int delay_ms = 0);

// Closes the main window as the user would.
void close_main_window();
// True once the main window has been closed (or is closing). Any thread.
bool main_window_closed();

// Appends `text` after the log box's current text, without an undo step, and scrolls the end into
// view. Any thread: from another thread the GUI thread carries it out and the caller waits until
// it is done, or until the window closes (then the text is dropped, so no worker ever waits on a
// GUI thread that has stopped serving).
void append_to_log(const Text& text);

// List-view columns, 0-based. Reading a missing column gives ""; setting one does nothing.
void insert_column(const Text& title, int width);
Text column_title(int index);
void set_column_title(int index, const Text& title);
int column_count();
int column_width(int index);

// The whole log box text, lines ended by CR LF.
Text log_text();

// Clicks a button as the user would: 0 is the clear button, 1 the start button.
void click_button(int which);

// The directory that holds the program file, without a trailing separator.
std::string program_directory();

// Handles every window event already queued and returns; on a thread other than the GUI thread it
// returns at once.
void process_pending_events();

// Returns after `milliseconds`, handling window events meanwhile on the GUI thread. On another
// thread it just waits, and returns early once the main window has closed, so that nothing keeps
// the program from ending.
void delay_with_events(int milliseconds);

}  // namespace ui
