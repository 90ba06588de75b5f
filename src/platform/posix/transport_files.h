// The transport's files in the runtime folder: every window listens on "window.<handle>"; its
// class name is a symbolic link "class.<name>" to that socket, so a client reaches a class with a
// single connect. Who may change a class link is settled by a lock per class (class_claim.cpp
// says why no live window can lose its name). Internal to the transport.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <string>

#include "platform/windows_vocabulary.h"

// The runtime folder, resolved once per environment; empty when it cannot be used.
const std::string& transportFolder();
std::string pathInFolder(const std::string& name);

bool validClassName(const char* name);
std::string windowFile(HWND window);
std::string classFile(const char* className);

bool makeAddress(const std::string& name, sockaddr_un* address, socklen_t* length);

// True when the peer of a connected socket runs as this user; *pid (when given) receives the
// peer's process: the one that connected, or for a connection made, the one that listens.
bool sameUser(int fd, pid_t* pid = nullptr);

// A non-blocking connection to the named socket, or -1 with errno set: EAGAIN means a live
// listener whose queue is full, ECONNREFUSED or ENOENT that nobody listens there.
int connectTo(const std::string& name);

enum class Liveness { LIVE, DEAD, UNKNOWN };
Liveness probe(const std::string& name);

// The handle a class link points to, 0 when there is no link or it is not one of ours.
HWND readClassLink(const char* className);

// Claims the class for the window, whose socket is bound already: takes the class's lock without
// waiting and points the link at the window, replacing a stale one. Returns the lock, to be held
// until releaseClass, or -1 when another live window holds the class (or the files cannot be made).
int claimClass(const char* className, HWND window);
// Gives the class up: removes the window's link and drops the lock.
void releaseClass(const char* className, HWND window, int claim);

// Forgets the folder (in a forked child, or when the folder changes).
void forgetTransportFolder();
