#include "backup/file_search.h"

#include "backup/gbk_text.h"

namespace kavrel {

std::string WithBackslash(const std::string& path) {
  bool endsWithBackslash = false;
  for (size_t i = 0; i < path.size(); ++i) {
    const bool lead = gbk::IsLeadByte(static_cast<unsigned char>(path[i]));
    endsWithBackslash = !lead && path[i] == '\\';
    if (lead) ++i;
  }
  return endsWithBackslash ? path : path + '\\';
}

}  // namespace kavrel
