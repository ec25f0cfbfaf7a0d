// Sets (or, with a null value, unsets) an environment variable for the life of
// the object, then puts the old value back.
#pragma once
#include <cstdlib>
#include <string>

namespace testutil {

class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) had_ = true, old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  EnvVar(const char* name, const std::string& value) : EnvVar(name, value.c_str()) {}
  ~EnvVar() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace testutil
