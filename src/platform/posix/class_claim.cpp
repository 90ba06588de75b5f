// Class names: who may change "class.<name>", and why a live window never loses its name.
//
// Every class has a lock file, "claim.<name>". A window takes its lock (flock, without
// waiting) before it points the link at its socket, and holds it until it has removed the link
// again; the kernel drops it when the process ends in any way. Only a holder of the lock ever
// creates, replaces or removes the link. Hence:
//
// - While a window lives, running or stopped, nobody else holds its class's lock, so nobody else
//   can touch its link: no clean-up that read the link before the window claimed it can act on
//   it afterwards, for the clean-up happens only under the lock the window now holds.
// - A process that gets the lock knows the link's last holder is gone, so a link still there is
//   stale and may be replaced at once; there is nothing to probe and no window between a check
//   and an act for another process to slip into.
// - Nobody waits for the lock. A claim that finds it held fails at once: the name belongs to a
//   live window (or to one claiming it this instant). Lookups and senders never take it; a stale
//   link they meet leads to a socket that refuses connections, and a socket that refuses
//   connections is dead for good (a new bind makes a new one), so they report no window and
//   leave the link to the next claimant. A stopped process can hold up nothing but its own name.
//
// Window sockets need no lock: bind() creates the file atomically or fails when the name exists,
// and a process removes no socket file but its own and the one a stale link of its class names.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/transport_files.h"

int claimClass(const char* className, HWND window) {
  const std::string lockPath = pathInFolder(std::string("claim.") + className);
  const int claim = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (claim < 0) return -1;
  if (flock(claim, LOCK_EX | LOCK_NB) != 0) {
    close(claim);
    return -1;
  }
  const std::string link = pathInFolder(classFile(className));
  const HWND stale = readClassLink(className);
  if (stale != 0 && stale != window && probe(windowFile(stale)) == Liveness::DEAD) {
    unlink(pathInFolder(windowFile(stale)).c_str());
  }
  unlink(link.c_str());
  if (symlink(windowFile(window).c_str(), link.c_str()) != 0) {
    close(claim);
    return -1;
  }
  return claim;
}

void releaseClass(const char* className, HWND window, int claim) {
  if (claim < 0) return;
  if (readClassLink(className) == window) unlink(pathInFolder(classFile(className)).c_str());
  flock(claim, LOCK_UN);
  close(claim);
}
