#pragma once
// The one way an error reaches the user: a warning box (and the same text on stderr).

// Longest message text shown; longer ones are cut.
constexpr int SHOW_ERROR_MAX_CHARS = 2047;

// Formats printf-style and shows a warning box with an OK button; blocks until closed.
void showError(const char* caption, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
