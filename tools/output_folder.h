#pragma once
// The output folder of one run. Each file is written under a hidden temporary name beside its final
// name; only once every file is written do they all take their names. A failed or interrupted run
// leaves the folder as the run before left it, and a finished run leaves no file of an earlier run
// beside its own. Outputs are regular files: a pipe, device or socket in an output's place (or at
// the end of its link) is replaced, never written into.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace gck {

class OutputFolder {
 public:
  // `known` are the names any run may write; Commit removes those this run did not write. Once
  // `stopped` returns true, writes fail and nothing more takes its name.
  OutputFolder(std::string path, std::vector<std::string> known,
               std::function<bool()> stopped = nullptr);
  ~OutputFolder();  // removes the temporary files of a run that did not commit
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Makes the folder if needed, removes the temporary files that an earlier run killed on its way
  // left (those of names `ours` accepts), and writes and removes a probe file in it, so that a
  // folder the run cannot write to is named before any work.
  bool Prepare(std::string* error, const std::function<bool(const std::string&)>& ours = nullptr);

  // Writes file `name` through `write`, which returns false when it cannot produce the contents,
  // to a temporary name until Commit. Every write and the close are checked; once stopped, nothing
  // is begun.
  bool Write(const std::string& name, const std::function<bool(std::FILE*)>& write,
             std::string* error);

  // Gives the written files their names and removes the known names this run did not write.
  bool Commit(std::string* error);

 private:
  struct Staged {
    std::string temporary;
    std::string final;
  };
  std::string path_;
  std::vector<std::string> known_;
  std::function<bool()> stopped_;
  std::vector<std::string> written_;
  std::vector<Staged> staged_;
};

}  // namespace gck
