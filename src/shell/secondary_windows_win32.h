// The secondary windows the main window opens from its menu. Each runs a
// nested message loop and returns once its window has closed.
#pragma once

#include "about/about_window_win32.h"
#include "common/language_window_win32.h"
#include "dates/saved_dates_window_win32.h"
