#include "host/loader.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace gck::host {
namespace {

#if defined(_WIN32)
constexpr const char* kExtension = ".mexw64";
constexpr char kSeparator = '\\';
#else
constexpr const char* kExtension = ".mexa64";
constexpr char kSeparator = '/';
#endif

// Output slots past the ones offered hold this value; a gateway that writes there is caught.
mxArray* const kGuard = reinterpret_cast<mxArray*>(static_cast<uintptr_t>(0x6A6A6A6A));
constexpr int kGuardSlots = 16;

}  // namespace

std::string MexFile::PathOf(const std::string& name) {
  const char* dir = std::getenv("GCK_MEX_DIR");
  std::string path = dir != nullptr ? std::string(dir) + kSeparator : std::string();
  return path + name + kExtension;
}

MexFile::MexFile(const std::string& name) {
  const std::string path = PathOf(name);
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) throw std::runtime_error("cannot load " + path);
  handle_ = module;
  entry_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "mexFunction")));
#else
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw std::runtime_error("cannot load " + path + ": " + dlerror());
  entry_ = reinterpret_cast<Entry>(dlsym(handle_, "mexFunction"));
#endif
  if (entry_ == nullptr) throw std::runtime_error(path + " has no mexFunction");
}

MexFile::~MexFile() {
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
}

CallResult MexFile::Call(int nlhs, const std::vector<const Array*>& inputs) const {
  const int slots = nlhs > 0 ? nlhs : 1;
  std::vector<mxArray*> plhs(slots + kGuardSlots, kGuard);
  for (int i = 0; i < slots; ++i) plhs[i] = nullptr;
  std::vector<const mxArray*> prhs;
  for (const Array* input : inputs) prhs.push_back(input->raw());

  CallResult result;
  BeginCall();
  try {
    entry_(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.empty() ? nullptr : prhs.data());
  } catch (const MexError& error) {
    result.failed = true;
    result.error = error.what();
    result.identifier = error.identifier();
  }
  std::vector<mxArray*> created = EndCall();
  for (int i = slots; i < slots + kGuardSlots; ++i) {
    if (plhs[i] != kGuard) throw std::logic_error("a deliverable wrote past its output slots");
  }
  for (const mxArray* array : prhs) {
    if (!GuardsIntact(array)) throw std::logic_error("a deliverable wrote outside an input array");
  }
  for (const mxArray* array : created) {
    if (!GuardsIntact(array)) throw std::logic_error("a deliverable wrote outside an array it made");
  }
  // MATLAB keeps what a successful call left in its slots and reclaims everything else.
  for (mxArray* array : created) {
    bool kept = false;
    for (int i = 0; i < slots && !result.failed; ++i) kept = kept || plhs[i] == array;
    if (!kept) DestroyArray(array);
  }
  if (!result.failed) {
    for (int i = 0; i < slots; ++i) {
      if (plhs[i] != nullptr) result.outputs.emplace_back(plhs[i]);
    }
  }
  return result;
}

}  // namespace gck::host
