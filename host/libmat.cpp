// The deliverables name libmat among their libraries as MATLAB's own extensions do, and call
// nothing in it; the stand-in only has to exist under that name.
extern "C" int gckhost_libmat_present() { return 1; }
