// The null backend's other services: GL handles without drawing, the info panel's text, boxes,
// the semaphore, process starts and the clock, all in memory. Scene files are the POSIX ones.
#include <cstdio>

#include "platform/null/null_platform.h"

void nullResetInstances();  // windows_null.cpp

namespace {

std::vector<NullMessageBox> boxes;
int processesStarted = 0;
uint32_t ticks = 0;
HGLRC lastContext = 0;

struct Semaphore {
  bool exists = false;
  bool open = false;
  int32_t count = 0;
  int32_t maximum = 0;
  int32_t heldHere = 0;
} semaphore;
bool roleDecisionHeld = false;
NullInfoPanel panel;

}  // namespace

void nullReset() {
  nullResetInstances();
  boxes.clear();
  processesStarted = 0;
  ticks = 0;
  semaphore = Semaphore();
  roleDecisionHeld = false;
  panel = NullInfoPanel();
}

const std::vector<NullMessageBox>& nullMessageBoxes() {
  return boxes;
}

const NullInfoPanel& nullInfoPanel() {
  return panel;
}

int nullProcessesStarted() {
  return processesStarted;
}

void nullMakeSemaphoreElsewhere(int32_t count, int32_t maximumCount) {
  semaphore = Semaphore{true, false, count, maximumCount, 0};
}

bool nullRoleDecisionHeld() {
  return roleDecisionHeld;
}

void nullAdvanceTicks(uint32_t milliseconds) {
  ticks += milliseconds;
}

HDC getDC(HWND window) {
  return isWindow(window) ? static_cast<HDC>(window) : 0;
}

void releaseDC(HWND, HDC) {}

bool setPixelFormat(HDC deviceContext, const PixelFormatRequest&) {
  return isWindow(static_cast<HWND>(deviceContext));
}

HGLRC createGlContext(HDC deviceContext) {
  return isWindow(static_cast<HWND>(deviceContext)) ? ++lastContext : 0;
}

bool makeCurrent(HDC, HGLRC) {
  return true;
}

void deleteGlContext(HGLRC) {}

void swapBuffers(HDC) {}

void showMessageBox(const char* text, const char* caption, MessageBoxIcon icon, MessageEcho echo) {
  if (echo == MessageEcho::STDERR) std::fprintf(stderr, "%s: %s\n", caption, text);
  boxes.push_back({text, caption, icon});
}

// No GL draws here, so there are no glyphs to make.
bool makeGlyphLists(HDC, uint32_t, int, int) {
  return false;
}

bool openInfoPanel(HWND parent) {
  if (!isWindow(parent)) return false;
  panel.open = true;
  return true;
}

void setInfoPanelText(const char* text) {
  panel.text = text != nullptr ? text : "";
  ++panel.textsSet;
}

void drawInfoPanel() {}

bool openInstanceSemaphore() {
  semaphore.open = semaphore.exists;
  return semaphore.open;
}

bool createInstanceSemaphore(int32_t initialCount, int32_t maximumCount) {
  if (semaphore.open || maximumCount < 1 || initialCount < 0 || initialCount > maximumCount)
    return false;
  semaphore = Semaphore{true, true, initialCount, maximumCount, initialCount};
  return true;
}

bool releaseInstanceSemaphore(int32_t count, int32_t* previousCount) {
  if (!semaphore.open || count <= 0 || semaphore.count + count > semaphore.maximum) return false;
  if (previousCount) *previousCount = semaphore.count;
  semaphore.count += count;
  semaphore.heldHere += count;
  return true;
}

bool waitInstanceSemaphore(int) {
  if (!semaphore.open || semaphore.heldHere == 0) return false;
  --semaphore.count;
  --semaphore.heldHere;
  return true;
}

int32_t instanceSemaphoreCount() {
  return semaphore.open ? semaphore.count : -1;
}

void beginRoleDecision() {
  roleDecisionHeld = true;
}

void endRoleDecision() {
  roleDecisionHeld = false;
}

std::string benchLocation() {
  return "the null platform";
}

void startInstanceProcess() {
  ++processesStarted;
}

uint32_t tickCount() {
  return ticks;
}
