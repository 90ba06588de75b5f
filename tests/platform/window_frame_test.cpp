// Under a window manager (openbox on Xvfb) a window keeps the outer position and size it was
// made with: once the frame is known, the client area shrinks and moves inside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "magick.h"
#include "platform/platform.h"
#include "x_input.h"

namespace {

// The number after label in text; -1 when absent.
long numberAfter(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? -1 : std::stol(text.substr(at + label.size()));
}

LRESULT idleProc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

TEST(WindowFrame, TheOuterRectangleIsTheOneAskedFor) {
  const pid_t manager = fork();
  if (manager == 0) {
    execlp("openbox", "openbox", static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto output = [](const std::string& command) { return runCapturing(command).output; };
  ASSERT_TRUE(waitUntil(
      [&] {
        return output("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
               std::string::npos;
      },
      [] { usleep(50000); }, 5))
      << "openbox did not start";

  ASSERT_TRUE(registerWindowClass("framed", idleProc));
  const HWND window = createWindow("framed", "Framed window", 100, 60, 400, 300);
  ASSERT_NE(window, 0u);
  showWindow(window);
  long left = 0, right = 0, top = 0, bottom = 0, x = -1, y = -1, width = 0, height = 0;
  waitUntil(
      [&] {
        MSG msg;
        while (peekMessage(&msg)) dispatchMessage(msg);
        const std::string extents = output("xprop -name 'Framed window' _NET_FRAME_EXTENTS");
        if (std::sscanf(extents.c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %ld, %ld, %ld, %ld", &left,
                        &right, &top, &bottom) != 4)
          return false;
        const std::string info = output("xwininfo -name 'Framed window'");
        x = numberAfter(info, "Absolute upper-left X:");
        y = numberAfter(info, "Absolute upper-left Y:");
        width = numberAfter(info, "Width:");
        height = numberAfter(info, "Height:");
        return x - left == 100 && y - top == 60 && width + left + right == 400;
      },
      [] { usleep(25000); }, 5);
  EXPECT_GT(left + right + top + bottom, 0) << "no frame";
  EXPECT_EQ(x - left, 100);
  EXPECT_EQ(y - top, 60);
  EXPECT_EQ(width + left + right, 400);
  EXPECT_EQ(height + top + bottom, 300);
  destroyWindow(window);
  kill(manager, SIGTERM);
  waitpid(manager, nullptr, 0);
}

}  // namespace
