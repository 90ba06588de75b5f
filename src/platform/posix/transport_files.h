// The transport's files in the runtime folder: every window listens on "window.<handle>"; its
// class name is a symbolic link "class.<name>" to that socket, so claiming a class is one
// atomic symlink() and a client reaches a class with a single connect. A lock file serialises
// claims and the removal of stale files. Internal to the transport.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

#include "platform/win32.h"

// The runtime folder, resolved once per environment; empty when it cannot be used.
const std::string& transportFolder();
std::string pathInFolder(const std::string& name);

bool validClassName(const char* name);
std::string windowFile(HWND window);
std::string classFile(const char* className);

bool makeAddress(const std::string& name, sockaddr_un* address, socklen_t* length);

// True when the peer of a connected socket runs as this user.
bool sameUser(int fd);

// A non-blocking connection to the named socket, or -1 with errno set: EAGAIN means a live
// listener whose queue is full, ECONNREFUSED or ENOENT that nobody listens there.
int connectTo(const std::string& name);

enum class Liveness { LIVE, DEAD, UNKNOWN };
Liveness probe(const std::string& name);

// The handle a class link points to, 0 when there is no link or it is not one of ours.
HWND readClassLink(const char* className);

// Removes a class link whose window no longer listens, and that window's socket file. Call
// with the folder lock held. True when the class is free afterwards.
bool clearStaleClass(const char* className);

// Holds the runtime folder's lock file for one claim or clean-up.
class FolderLock {
 public:
  FolderLock();
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

// Forgets the folder and closes the lock file (in a forked child, or when the folder changes).
void forgetTransportFolder(bool closeLock);
