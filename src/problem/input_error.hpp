#pragma once

#include <stdexcept>
#include <string>

namespace monocount {

// A problem file that the reader refuses. what() names the file, the line (when there is
// one) and what was expected or found: "f.cnf:7: variable 12 exceeds the declared variable
// count 10", or "f.cnf: cannot open: No such file or directory".
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace monocount
