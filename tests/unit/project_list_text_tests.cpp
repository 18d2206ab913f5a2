#include <gtest/gtest.h>

#include <cstdint>

#include "backup/ui/project_list.h"

namespace {

TEST(SizeColumnText, AFolderThatCannotBeMeasuredReadsAsAnEmptyOne) {
  const struct { int64_t size; const char* text; } kCases[] = {
      {-1, "0K"},
      {0, "0K"},
      {5000, "4.88K"},
      {INT64_C(1073741824), "1G"},
  };
  for (const auto& c : kCases) EXPECT_EQ(kavrel::SizeColumnText(c.size), c.text) << c.size;
}

}  // namespace
