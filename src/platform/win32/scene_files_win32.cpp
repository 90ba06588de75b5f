// Scene files on Windows: reads that refuse anything but a file on disk, replacements that
// are whole or nothing, and numbers read in the C locale.
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

// The system's text for an error code, without its trailing line break.
std::string systemMessage(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

const char* kindOfHandle(DWORD fileType) {
  if (fileType == FILE_TYPE_PIPE) return "a FIFO";
  if (fileType == FILE_TYPE_CHAR) return "a device";
  return "a special file";
}

std::wstring widePath(const char* path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
  if (length > 1) MultiByteToWideChar(CP_ACP, 0, path, -1, &wide[0], length);
  return wide;
}

}  // namespace

FileReadStatus readSceneFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes,
                             bool* truncated, const char* program) {
  bytes->clear();
  if (truncated != nullptr) *truncated = false;
  // A folder opens only with FILE_FLAG_BACKUP_SEMANTICS, so it is told apart beforehand.
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::fprintf(stderr, "%s: %s is a folder, not a regular file: ignored\n", program, path);
    return FileReadStatus::REFUSED;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return FileReadStatus::ABSENT;
    }
    std::fprintf(stderr, "%s: %s cannot be opened (%s): ignored\n", program, path,
                 systemMessage(error).c_str());
    return FileReadStatus::REFUSED;
  }
  const DWORD fileType = GetFileType(file);
  if (fileType != FILE_TYPE_DISK) {
    std::fprintf(stderr, "%s: %s is %s, not a regular file: ignored\n", program, path,
                 kindOfHandle(fileType));
    CloseHandle(file);
    return FileReadStatus::REFUSED;
  }
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  const size_t fileSize = static_cast<size_t>(size.QuadPart);
  bytes->resize(fileSize < maxBytes ? fileSize : maxBytes);
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
    if (!ReadFile(file, bytes->data() + done, wanted, &chunk, nullptr) || chunk == 0) break;
    done += chunk;
  }
  bytes->resize(done);
  if (truncated != nullptr) *truncated = fileSize > maxBytes;
  CloseHandle(file);
  return FileReadStatus::OK;
}

bool replaceFile(const char* path, const FilePart* parts, int partCount, std::string* reason) {
  const std::wstring target = widePath(path);
  const std::wstring temporary = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *reason = systemMessage(GetLastError());
    return false;
  }
  bool written = true;
  for (int i = 0; i < partCount && written; ++i) {
    const char* data = static_cast<const char*>(parts[i].data);
    size_t left = parts[i].size;
    while (left > 0) {
      DWORD chunk = 0;
      const DWORD wanted = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
      if (!WriteFile(file, data, wanted, &chunk, nullptr) || chunk == 0) {
        written = false;
        break;
      }
      data += chunk;
      left -= chunk;
    }
  }
  if (written) written = FlushFileBuffers(file) != FALSE;
  DWORD error = written ? 0 : GetLastError();
  CloseHandle(file);
  // A folder at the name is never replaced; MoveFileExW would refuse it with a less clear
  // message.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (written && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    written = false;
    error = ERROR_DIRECTORY;
  }
  if (written && !MoveFileExW(temporary.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    error = GetLastError();
  }
  if (!written) {
    DeleteFileW(temporary.c_str());
    *reason = systemMessage(error);
  }
  return written;
}

double parseNumberC(const char* text, char** end) {
  static const _locale_t cLocale = _create_locale(LC_ALL, "C");
  return _strtod_l(text, end, cLocale);
}
