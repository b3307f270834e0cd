#pragma once
// Loads a built deliverable file and calls its mexFunction the way MATLAB does.

#include <string>
#include <vector>

#include "host/array.h"

namespace gck::host {

struct CallResult {
  bool failed = false;
  std::string error;           // the text given to mexErrMsgTxt or mexErrMsgIdAndTxt
  std::string identifier;      // the identifier given to mexErrMsgIdAndTxt
  std::vector<Array> outputs;  // the arrays left in the output slots, in slot order
  bool ok() const { return !failed; }
};

class MexFile {
 public:
  // `name` is a deliverable's name; the file is looked up in $GCK_MEX_DIR with this platform's
  // extension (.mexa64 or .mexw64).
  explicit MexFile(const std::string& name);
  ~MexFile();
  MexFile(const MexFile&) = delete;
  MexFile& operator=(const MexFile&) = delete;

  static std::string PathOf(const std::string& name);

  // Calls mexFunction with nlhs outputs and the given inputs. The inputs are passed as they are, so
  // a deliverable that writes into an input is seen doing so.
  CallResult Call(int nlhs, const std::vector<const Array*>& inputs) const;

 private:
  using Entry = void (*)(int, mxArray**, int, const mxArray**);
  void* handle_ = nullptr;
  Entry entry_ = nullptr;
};

}  // namespace gck::host
