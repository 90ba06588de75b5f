// Real X input and bounded waits for the end-to-end tests. xdotool runs as a child process while
// the caller goes on with its own work (serving the messages the bench sends it), so a process
// that the input makes busy is never kept waiting by the test.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Calls step (or sleeps briefly) until done() holds; false once `seconds` have passed. The
// default minute is a guard against a hang, never a measure of speed.
bool waitUntil(const std::function<bool()>& done, const std::function<void()>& step = {},
               double seconds = 60);

// Runs xdotool with the arguments, calling whileWaiting until it has ended. True when it ended
// with exit code 0.
bool xdotool(const std::vector<std::string>& arguments,
             const std::function<void()>& whileWaiting = {});

// Gives the keyboard focus to the visible top-level window of the class, as a click of the user
// would under a window manager; waits until the window is mapped and focused.
bool focusWindowOfClass(const std::string& className,
                        const std::function<void()>& whileWaiting = {});
