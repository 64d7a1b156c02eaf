#include "script/values/number_text.h"

#include <gtest/gtest.h>

namespace plumex::script {
namespace {

TEST(NumberText, Placeholder) { EXPECT_EQ(formatFloat(1e21), "1e+021"); }

} // namespace
} // namespace plumex::script
