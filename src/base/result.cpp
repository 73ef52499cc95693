#include "base/result.h"

namespace hw {

std::string Quoted(std::string_view name) { return "'" + std::string(name) + "'"; }

std::string Error::Text() const {
  if (file.empty()) return cause;
  const std::string why = cause.empty() ? std::string("unknown error") : cause;
  if (action.empty()) return Quoted(file) + ": " + why;
  std::string text = "cannot " + action + " " + Quoted(file);
  if (!to.empty()) text += " to " + Quoted(to);
  return text + ": " + why;
}

}  // namespace hw
