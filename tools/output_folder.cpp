#include "tools/output_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace gck {
namespace {

namespace fs = std::filesystem;

std::string Reason(int code) { return code ? std::strerror(code) : "write failed"; }

// Opens a new file named like `pattern` (ending in XXXXXX, replaced by mkstemp) for writing.
std::FILE* OpenTemporary(std::string* pattern) {
  const int fd = mkstemp(pattern->data());
  if (fd < 0) return nullptr;
  // mkstemp makes the file private; it gets the mode any new file of the user gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    const int code = errno;
    close(fd);
    std::remove(pattern->c_str());
    errno = code;
  }
  return file;
}

// Runs `write` on `file` and closes it; false with the system's reason when anything failed.
bool WriteAndClose(std::FILE* file, const std::function<bool(std::FILE*)>& write, int* code) {
  errno = 0;
  bool ok = write(file);
  if (ok && (std::fflush(file) != 0 || std::ferror(file))) ok = false;
  *code = errno;
  // A failed close can be the first sign that the data did not land.
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    *code = errno;
  }
  return ok;
}

// The file a link leads to, through every link on the way, even if that file does not exist yet:
// it is what gets replaced. Empty when the links loop or cannot be read.
fs::path LinkTarget(fs::path path, std::error_code* failed) {
  for (int links = 0; fs::is_symlink(path, *failed); ++links) {
    if (links == 40) {
      *failed = std::make_error_code(std::errc::too_many_symbolic_link_levels);
      return {};
    }
    const fs::path next = fs::read_symlink(path, *failed);
    if (*failed) return {};
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

}  // namespace

OutputFolder::OutputFolder(std::string path, std::vector<std::string> known)
    : path_(std::move(path)), known_(std::move(known)) {}

OutputFolder::~OutputFolder() {
  for (const Staged& file : staged_) std::remove(file.temporary.c_str());
}

bool OutputFolder::Prepare(std::string* error) {
  std::error_code made;
  fs::create_directories(path_, made);
  if (made || !fs::is_directory(path_, made)) {
    *error = "cannot make the folder '" + path_ +
             "': " + (made ? made.message() : std::string("it is a file"));
    return false;
  }
  std::string probe = (fs::path(path_) / ".gckmatch-probe-XXXXXX").string();
  std::FILE* file = OpenTemporary(&probe);
  int code = errno;
  bool ok = file && WriteAndClose(
                        file, [](std::FILE* f) { return std::fputc('\n', f) != EOF; }, &code);
  if (file) std::remove(probe.c_str());
  if (!ok) *error = "cannot write in the folder '" + path_ + "': " + Reason(code);
  return ok;
}

bool OutputFolder::Write(const std::string& name, const std::function<bool(std::FILE*)>& write,
                         std::string* error) {
  const std::string shown = (fs::path(path_) / name).string();
  std::error_code failed;
  const fs::path target = LinkTarget(fs::path(path_) / name, &failed);
  const int link_error = failed.value();
  const fs::file_status status = fs::status(target, failed);
  int code = 0;
  bool ok = false;
  if (target.empty()) {
    code = link_error;
  } else if (fs::is_directory(status)) {
    code = EISDIR;
  } else if (fs::exists(status) && !fs::is_regular_file(status)) {
    // A device or a pipe cannot be renamed onto; it takes the bytes as they come.
    std::FILE* file = std::fopen(target.c_str(), "wb");
    code = errno;
    ok = file && WriteAndClose(file, write, &code);
  } else {
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    std::FILE* file = OpenTemporary(&temporary);
    code = errno;
    ok = file && WriteAndClose(file, write, &code);
    if (ok) {
      staged_.push_back({temporary, target.string()});
    } else if (file) {
      std::remove(temporary.c_str());
    }
  }
  if (!ok) {
    *error = "cannot write '" + shown + "': " + Reason(code);
    return false;
  }
  written_.push_back(name);
  return true;
}

bool OutputFolder::Commit(std::string* error) {
  while (!staged_.empty()) {
    const Staged& file = staged_.front();
    if (std::rename(file.temporary.c_str(), file.final.c_str()) != 0) {
      *error = "cannot write '" + file.final + "': " + Reason(errno);
      return false;
    }
    staged_.erase(staged_.begin());
  }
  for (const std::string& name : known_) {
    if (std::find(written_.begin(), written_.end(), name) != written_.end()) continue;
    const fs::path stale = fs::path(path_) / name;
    std::error_code failed;
    const fs::file_status status = fs::symlink_status(stale, failed);
    if (!fs::exists(status) || fs::is_directory(status)) continue;
    if (!fs::remove(stale, failed)) {
      *error = "cannot remove '" + stale.string() + "' of an earlier run: " + failed.message();
      return false;
    }
  }
  return true;
}

}  // namespace gck
