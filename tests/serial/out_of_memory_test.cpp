#include <gtest/gtest.h>
TEST(OutOfMemory, Placeholder) {}
