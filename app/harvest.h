#pragma once

#include <cstdint>

// The harvest's three routines: preparing the run when the main window is created, crawling the
// record pages when the start button is clicked, and the task that fetches, parses and stores one
// page on a worker.
namespace app {

// On the GUI thread, once: opens food_db beside the program, starts the ten workers and titles
// the list view's 24 nutrient columns from the reference page. Reports nothing; a failure leaves
// the window up (untitled columns, or stores that fail later).
void main_window_created();

// On the GUI thread: submits page tasks, at most one per 10 ms pass and only while fewer than 5
// run, until page ids up to 1450 have been handed out or the main window closes. The window stays
// live meanwhile.
void start_button_clicked();

// On a worker: takes the next page id, downloads that page (retrying an empty one up to 10 times),
// and stores its name and 24 amounts as a row of food, logging the outcome. Its two values are
// not used.
void page_task(std::int32_t first, std::int32_t second);

}  // namespace app
