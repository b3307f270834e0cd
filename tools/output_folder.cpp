#include "tools/output_folder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <system_error>
#include <utility>

namespace gck {
namespace {

namespace fs = std::filesystem;

std::string Reason(int code) { return code ? std::strerror(code) : "write failed"; }

// A temporary file's descriptor, and the question whether the run was stopped, which fails every
// write after it.
struct Sink {
  int fd;
  const std::function<bool()>* stopped;
};

ssize_t SinkWrite(void* cookie, const char* data, size_t size) {
  const Sink& sink = *static_cast<Sink*>(cookie);
  if (*sink.stopped && (*sink.stopped)()) {
    errno = EINTR;
    return 0;  // stdio's sign of a failed write
  }
  size_t done = 0;
  while (done < size) {
    const ssize_t wrote = write(sink.fd, data + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += size_t(wrote);
  }
  return ssize_t(done);
}

int SinkClose(void* cookie) {
  Sink* sink = static_cast<Sink*>(cookie);
  const int closed = close(sink->fd);
  delete sink;
  return closed;
}

// Opens a new file named like `pattern` (ending in XXXXXX, replaced by mkstemp) for writing.
std::FILE* OpenTemporary(std::string* pattern, const std::function<bool()>* stopped) {
  const int fd = mkostemp(pattern->data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  // mkstemp makes the file private; it gets the mode any new file of the user gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  Sink* sink = new Sink{fd, stopped};
  std::FILE* file = fopencookie(sink, "wb", {nullptr, SinkWrite, nullptr, SinkClose});
  if (!file) {
    const int code = errno;
    delete sink;
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

OutputFolder::OutputFolder(std::string path, std::vector<std::string> known,
                           std::function<bool()> stopped)
    : path_(std::move(path)), known_(std::move(known)), stopped_(std::move(stopped)) {}

OutputFolder::~OutputFolder() {
  for (const Staged& file : staged_) std::remove(file.temporary.c_str());
}

bool OutputFolder::Prepare(std::string* error,
                           const std::function<bool(const std::string&)>& ours) {
  std::error_code made;
  fs::create_directories(path_, made);
  if (made || !fs::is_directory(path_, made)) {
    *error = "cannot make the folder '" + path_ +
             "': " + (made ? made.message() : std::string("it is a file"));
    return false;
  }
  // The temporaries of a run killed on its way: ".NAME.gckmatch-XXXXXX", of an output or the probe.
  const std::regex temporary("\\.(.+)\\.gckmatch-[A-Za-z0-9]{6}");
  std::error_code failed;
  for (fs::directory_iterator entry(path_, failed), end; !failed && entry != end;
       entry.increment(failed)) {
    std::smatch name;
    const std::string file = entry->path().filename().string();
    if (!std::regex_match(file, name, temporary) || !entry->is_regular_file(failed)) continue;
    if (name[1] == "probe" ||
        std::find(known_.begin(), known_.end(), name[1]) != known_.end() || (ours && ours(name[1])))
      fs::remove(entry->path(), failed);
  }
  std::string probe = (fs::path(path_) / ".probe.gckmatch-XXXXXX").string();
  const std::function<bool()> never;
  std::FILE* file = OpenTemporary(&probe, &never);
  int code = errno;
  bool ok = file && WriteAndClose(
                        file, [](std::FILE* f) { return std::fputc('\n', f) != EOF; }, &code);
  if (file) std::remove(probe.c_str());
  if (!ok) *error = "cannot write in the folder '" + path_ + "': " + Reason(code);
  return ok;
}

bool OutputFolder::Write(const std::string& name, const std::function<bool(std::FILE*)>& write,
                         std::string* error) {
  const fs::path place = fs::path(path_) / name;
  if (stopped_ && stopped_()) {
    *error = "stopped before '" + place.string() + "' was written";
    return false;
  }
  std::error_code failed;
  fs::path target = LinkTarget(place, &failed);
  const int link_error = failed.value();
  const fs::file_status status = fs::status(target, failed);
  // A pipe, device or socket (or a link to one) gives way to a file: writing into it could block
  // for ever or go nowhere.
  if (!target.empty() && fs::exists(status) && !fs::is_regular_file(status) &&
      !fs::is_directory(status))
    target = place;
  int code = 0;
  bool ok = false;
  if (target.empty()) {
    code = link_error;
  } else if (fs::is_directory(status)) {
    code = EISDIR;
  } else {
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".gckmatch-XXXXXX")).string();
    std::FILE* file = OpenTemporary(&temporary, &stopped_);
    code = errno;
    ok = file && WriteAndClose(file, write, &code);
    if (ok) {
      staged_.push_back({temporary, target.string()});
    } else if (file) {
      std::remove(temporary.c_str());
    }
  }
  if (!ok) {
    *error = "cannot write '" + place.string() + "': " + Reason(code);
    return false;
  }
  written_.push_back(name);
  return true;
}

bool OutputFolder::Commit(std::string* error) {
  if (stopped_ && stopped_()) {
    *error = "stopped before the outputs took their names";
    return false;
  }
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
