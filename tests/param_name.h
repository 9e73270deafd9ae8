#pragma once
// The name GoogleTest gives each row of a table of cases: the row's own
// `name`, so that a failure and --gtest_filter say which row, not its index.
#include <gtest/gtest.h>

#include <string>

struct ParamName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};
