// Precompiled for every source of the module: each includes pybind11, whose headers take a
// third of its compile time.
#include <pybind11/pybind11.h>
